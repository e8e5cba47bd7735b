// mvltool: packs, lists, extracts and checks the show's data.mvl archives,
// with the same reader and writer as the program.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/error.h"

namespace fs = std::filesystem;

namespace {

int usage() {
  std::fputs(
      "usage: mvltool pack DIR OUT.mvl      pack every file under DIR as data/... entries\n"
      "       mvltool list ARCHIVE.mvl      name and size of every entry\n"
      "       mvltool extract ARCHIVE.mvl DIR   write every entry under DIR\n"
      "       mvltool verify ARCHIVE.mvl    read and check the archive\n",
      stderr);
  return 2;
}

// Every regular file under `dir`, in name order so that packing is repeatable.
int pack(const std::string& dir, const std::string& out) {
  std::error_code error;
  if (!fs::is_directory(dir, error)) FATAL("%s is not a directory", dir.c_str());
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(dir, error); !error && it != fs::end(it);
       it.increment(error))
    if (it->is_regular_file()) files.push_back(it->path());
  if (error) FATAL("Failed to walk %s: %s", dir.c_str(), error.message().c_str());
  std::sort(files.begin(), files.end());

  DataIndex index;
  for (const fs::path& file : files) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = "data/" + fs::relative(file, dir).generic_string();
    FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) FATAL("Failed to open %s", file.c_str());
    std::fseek(in, 0, SEEK_END);
    long length = std::ftell(in);
    std::rewind(in);
    entry->data.resize(length > 0 ? static_cast<size_t>(length) : 0);
    if (length > 0 && std::fread(entry->data.data(), 1, entry->data.size(), in) != entry->data.size())
      FATAL("Failed to read %s", file.c_str());
    std::fclose(in);
    index.push_back(std::move(entry));
  }
  writeArchive(out, index);
  return 0;
}

// Entry names become paths: only plain relative ones, never leaving DIR.
bool safeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos) return false;
  for (const auto& part : fs::path(name))
    if (part == ".." || part == ".") return false;
  return true;
}

int extract(const std::string& archive, const std::string& dir) {
  DataIndex index;
  readArchive(archive, index);
  for (const auto& entry : index) {
    if (!safeName(entry->name)) FATAL("Refusing to extract the entry named \"%s\"", entry->name.c_str());
    fs::path target = fs::path(dir) / entry->name;
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    FILE* out = std::fopen(target.c_str(), "wb");
    if (!out) FATAL("Failed to create %s", target.c_str());
    bool written = entry->size() == 0 || std::fwrite(entry->bytes(), entry->size(), 1, out) == 1;
    if (std::fclose(out) != 0 || !written) FATAL("Failed to write %s", target.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(exitOnFailure);
  setMessageBoxesEnabled(false);
  if (argc < 3) return usage();
  std::string command = argv[1];
  if (command == "pack" && argc == 4) return pack(argv[2], argv[3]);
  if (command == "extract" && argc == 4) return extract(argv[2], argv[3]);
  if (argc != 3) return usage();

  DataIndex index;
  if (command == "list") {
    readArchive(argv[2], index);
    for (const auto& entry : index) std::printf("%10u  %s\n", entry->size(), entry->name.c_str());
    return 0;
  }
  if (command == "verify") {
    readArchive(argv[2], index);
    size_t bytes = 0;
    for (const auto& entry : index) bytes += entry->size();
    std::printf("%s: %zu entries, %zu bytes\n", argv[2], index.size(), bytes);
    return 0;
  }
  return usage();
}
