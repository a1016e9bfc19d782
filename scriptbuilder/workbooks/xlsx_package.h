// The parts of an .xlsx file: its zip archive, opened over the file's bytes
// with minizip, and each part's XML streamed through expat to a handler.
// The reader's own pieces (xlsx_reader.cpp); the limits and failures are
// the reader's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "scriptbuilder/workbooks/xlsx_reader.h"

namespace lumeno::scriptbuilder::xlsx {

// The namespaces the reader tells apart, the transitional and the strict
// form of each as one.
enum class Namespace {
  none,                   // an unqualified name
  spreadsheet,            // the workbook's own elements
  relationships,          // r:id and its kin
  package_relationships,  // the .rels parts
  spreadsheet_2009,       // x14: extensions inside extLst
  other,
};

// An element's attributes, as expat hands them (name, value, ..., null).
class XmlAttributes {
 public:
  explicit XmlAttributes(const char** pairs) : pairs_(pairs) {}
  // The value of attribute `local` in namespace `ns` (none: unqualified).
  std::optional<std::string_view> get(std::string_view local, Namespace ns = Namespace::none) const;

 private:
  const char** pairs_;
};

// What reads one part. The reader hands it the elements of the part's own
// namespace (and unqualified ones); an element of any other namespace is
// skipped with all it holds, and only the outermost is shown to foreign().
class PartHandler {
 public:
  virtual ~PartHandler() = default;
  virtual void start(std::string_view local, const XmlAttributes& attributes) = 0;
  virtual void end(std::string_view local) = 0;
  virtual void foreign(Namespace /*ns*/, std::string_view /*local*/) {}

  // Where character data goes; none while null.
  std::string* text = nullptr;
  // Set to stop reading the part; read_xml returns it.
  std::optional<ReadFailure> failure;
};

// A zip archive over bytes that outlive it.
class Package {
 public:
  // The archive, or why the bytes hold none (not_zip, damaged: the archive's
  // directory cannot be read, or names one part twice).
  static std::variant<Package, ReadFailure> open(std::string_view bytes, const Limits& limits);

  Package(Package&&) noexcept;
  Package& operator=(Package&&) noexcept;
  ~Package();

  // Whether the archive holds part `name` ("xl/workbook.xml"); names are
  // compared with ASCII letters folded and "\" read as "/", as the format's
  // part names are (some writers put "\" in the archive).
  bool has(std::string_view name) const;

  // Reads part `name` through `handler`, expecting elements of namespace
  // `own`. Fails (with the part named) when the part is missing, its data
  // is damaged, its XML is malformed or has a DTD, it nests too deep, it or
  // all parts read so far exceed the limits, or the handler fails.
  std::optional<ReadFailure> read_xml(const std::string& name, Namespace own, PartHandler& handler);

 private:
  struct State;
  explicit Package(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// A part's name from a relationship's target: relative to the folder of
// the part whose relationship it is (`base`, "xl/" for the workbook's, ""
// for the package's), or absolute ("/xl/worksheets/sheet1.xml");
// %-escapes decoded, "." and ".." resolved. None when ".." leaves the
// package.
std::optional<std::string> resolve_target(std::string_view base, std::string_view target);

// The folder of a part ("xl/" of "xl/workbook.xml"), and the name of its
// relationships part ("xl/_rels/workbook.xml.rels").
std::string part_folder(std::string_view part);
std::string relationships_part(std::string_view part);

}  // namespace lumeno::scriptbuilder::xlsx
