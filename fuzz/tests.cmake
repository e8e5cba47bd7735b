# The fuzz targets in the tests (included from tests/CMakeLists.txt): one
# test builds them all with clang (fuzz/build.sh into build/fuzz, so a
# target that stops building fails it), then each target runs for a few
# seconds over its seeds (fuzz/run.sh) and fails on anything it finds.
# Inputs that failed stay in build/fuzz/artifacts/NAME/.
set(FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(FUZZ_SECONDS 3)

add_test(NAME fuzz_build COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/build.sh ${FUZZ_DIR})
# It builds with two jobs.
set_tests_properties(fuzz_build PROPERTIES FIXTURES_SETUP fuzz_targets TIMEOUT 900 PROCESSORS 2)

foreach(name huffman archive midi sync png jpeg tga bmp sgl ase collada)
  set(dict -)
  if(EXISTS ${CMAKE_SOURCE_DIR}/fuzz/dict/${name}.dict)
    set(dict ${CMAKE_SOURCE_DIR}/fuzz/dict/${name}.dict)
  endif()
  add_test(NAME fuzz_${name}
           COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${FUZZ_DIR}/fuzz_${name} ${FUZZ_SECONDS}
                   ${FUZZ_DIR}/artifacts/${name} ${dict} ${FUZZ_DIR}/seeds/${name})
  set_tests_properties(fuzz_${name} PROPERTIES FIXTURES_REQUIRED fuzz_targets TIMEOUT 120)
endforeach()

# The run script against a stand-in target.
add_test(NAME fuzz_run_script COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/test_run.sh)
