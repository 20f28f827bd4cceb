// JSON: one in-memory JSON document addressed by the names of its top-level members.
#ifndef QVEX_UTIL_JSON_H_
#define QVEX_UTIL_JSON_H_

#include <functional>
#include <string>

#include <rapidjson/document.h>

// Not thread-safe: one thread at a time. Keys name members of the root object only, matched
// as whole byte strings up to their first NUL (no paths: "a.b" is a member named "a.b"); the
// first matching member wins. The document's allocator owns every node and string, so values
// that are replaced keep their memory until the JSON is destroyed.
//
// Nesting is capped: a text whose arrays and objects nest deeper than kMaxNestingDepth (the
// root counting as level 1) fails to parse like any other malformed text, with the error code
// rapidjson::kParseErrorTermination and, as offset, the position just past the bracket that
// opened the level too many. No document held here is ever deeper, so writing and iterating
// never recurse past the cap (rapidjson's recursive reader and writer overflow the stack on
// input nested some hundred thousand levels deep).
//
// A number beyond the range of a double fails to parse too: rapidjson's own error
// kParseErrorNumberTooBig for an exponent above 308 ("1e999"), kParseErrorTermination with the
// number's offset when the digits carry it over ("184467e308"). So every document held here
// writes out as valid JSON.
class JSON {
 public:
  static constexpr int kMaxNestingDepth = 512;

  // Indexed by rapidjson::Type.
  static const char* const kTypeNames[7];

  // Starts as the empty object {}, with `parsed` true.
  JSON();
  JSON(const JSON&) = delete;
  JSON& operator=(const JSON&) = delete;

  // Parses the text up to its first NUL with rapidjson's default flags. True only if it parsed
  // and its root is an object; a valid non-object document still replaces the root and sets
  // `parsed`. On a parse error `parsed` becomes false and the previous root stays. Prints
  // nothing.
  bool parse(const std::string& text);

  // As parse(), reading the file (relative names against the working directory). Writes to
  // standard output "Could not open file for reading!<name>\n" if the file cannot be opened
  // (root and `parsed` unchanged), or the lines "Error  : <code>" and "Offset : <offset>" on a
  // parse error. Throws std::filesystem::filesystem_error for an empty name, which cannot be
  // made absolute.
  bool parseFile(const std::string& fileName);

  // The named top-level member as text (see val2String); empty if there is none or the root is
  // not an object. Does not look at `parsed`.
  std::string value(std::string key);

  // Sets the named top-level member to a copy of `val` up to its first NUL, keeping its place,
  // or appends it as the last member. A new member's name points at the key's characters
  // without copying them: pass a string literal. Does nothing if the root is not an object.
  void setValue(rapidjson::GenericStringRef<char> key, std::string val);

  // Calls `callback(name, type name, value text)` for each member, in order, of the root (name
  // "root") or of the named top-level member; nothing if that is not an object.
  void loopObject(std::string name,
                  std::function<void(std::string, std::string, std::string)> callback);

  // Calls `callback` with each element of the named top-level array, in order; "root" is an
  // ordinary member name here. The pointers are valid until the next parse.
  void loopArray(std::string name, std::function<void(const rapidjson::Value*)> callback);

  // The document as indented JSON (four spaces per level); empty if the last parse failed.
  std::string ToString();

  // Strings up to their first NUL; numbers fitting int32 as "%d", other numbers as "%f"; true
  // and false as "1" and "0"; null, objects and arrays as "".
  static std::string val2String(const rapidjson::Value& val);

  rapidjson::Document document;
  bool parsed;

 private:
  template <typename InputStream>
  bool ParseStream(InputStream& stream, rapidjson::ParseResult* error);
};

#endif  // QVEX_UTIL_JSON_H_
