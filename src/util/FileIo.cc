// FileIo: reads a whole file into a byte string, with failures returned in place of the content.
#include "util/FileIo.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <ios>

std::string FileIo::ReadAllBytes(const std::string& fileName) {
  try {
    const std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(fileName));
    // A directory opens as a stream on Linux but reads as nothing (or reports a bogus size),
    // which would pass for content.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
      return "File Can't open " + path.string();

    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in.is_open())
      return "File Can't open " + path.string();

    const std::streamoff size = in.tellg();
    if (size < 0)
      throw std::ios_base::failure("cannot determine the size of " + path.string());
    std::string content(static_cast<size_t>(size), '\0');
    in.seekg(0, std::ios::beg);
    // A short read (the file shrank meanwhile) leaves the rest as zero bytes.
    in.read(content.data(), size);
    return content;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}
