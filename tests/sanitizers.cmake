# The whole program built with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer in build/asan (from this same tree, only the tinlantern
# target, incremental on later runs), then run through the whole show
# captured at 1 frame a second and live from beat 560 to the end, with
# --gl-debug, under a private Xvfb and from this build's data.mvl. Any
# sanitizer report, GL error or non-zero exit fails the run.
set(ASAN_SHOW ${CMAKE_CURRENT_SOURCE_DIR}/sanitizers/asan_show.sh)
set(ASAN_DIR ${CMAKE_BINARY_DIR}/asan)
add_test(NAME asan_build COMMAND bash ${ASAN_SHOW} build ${CMAKE_SOURCE_DIR} ${ASAN_DIR})
# Two compilers at once: a minute or two from scratch on two cores.
set_tests_properties(asan_build PROPERTIES FIXTURES_SETUP asan_program TIMEOUT 1800 PROCESSORS 2)
foreach(run capture live)
  add_test(NAME asan_${run} COMMAND bash ${ASAN_SHOW} run ${ASAN_DIR} ${CMAKE_BINARY_DIR} ${run})
  set_tests_properties(asan_${run} PROPERTIES FIXTURES_REQUIRED asan_program TIMEOUT 900)
endforeach()
