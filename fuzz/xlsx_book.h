// Workbooks made from their XML parts, for the .xlsx reader's fuzz target
// and tests: the parts every book has around the ones a case is about.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fuzz/zip_writer.h"

namespace lumeno::fuzz {

inline constexpr std::string_view kSpreadsheetNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kRelationshipsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct BookParts {
  std::string sheet;           // xl/worksheets/sheet1.xml
  std::string shared_strings;  // xl/sharedStrings.xml, when not empty
  std::string styles;          // xl/styles.xml, when not empty
  std::string workbook;        // xl/workbook.xml; empty: one sheet, "Sheet1"
  std::string relationships;   // xl/_rels/workbook.xml.rels; empty: the sheet, strings and styles
  std::vector<ZipEntry> more;  // further entries, after these
  bool deflate = true;
};

// A worksheet's XML around the content of its <sheetData> and what follows it.
inline std::string sheet_xml(std::string_view rows, std::string_view after = {}) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" + std::string(kSpreadsheetNs) +
         "\" xmlns:r=\"" + std::string(kRelationshipsNs) + "\"><sheetData>" + std::string(rows) + "</sheetData>" + std::string(after) +
         "</worksheet>";
}

// A workbook part with sheets of these names, whose relationships are rId1, rId2, ...
inline std::string workbook_xml(const std::vector<std::string>& names, std::string_view before_sheets = {}) {
  std::string out = "<workbook xmlns=\"" + std::string(kSpreadsheetNs) + "\" xmlns:r=\"" + std::string(kRelationshipsNs) + "\">" +
                    std::string(before_sheets) + "<sheets>";
  for (std::size_t i = 0; i < names.size(); ++i) {
    out += "<sheet name=\"" + names[i] + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"rId" + std::to_string(i + 1) + "\"/>";
  }
  return out + "</sheets></workbook>";
}

// A relationships part: (type's last segment, target) pairs, as rId1, rId2, ...
inline std::string relationships_xml(const std::vector<std::pair<std::string, std::string>>& targets) {
  std::string out = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (std::size_t i = 0; i < targets.size(); ++i) {
    out += "<Relationship Id=\"rId" + std::to_string(i + 1) + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" +
           targets[i].first + "\" Target=\"" + targets[i].second + "\"/>";
  }
  return out + "</Relationships>";
}

inline std::string book_archive(const BookParts& parts) {
  std::vector<ZipEntry> entries;
  const auto add = [&](std::string name, std::string data) { entries.push_back({std::move(name), std::move(data), parts.deflate}); };
  add("[Content_Types].xml",
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
  add("_rels/.rels", relationships_xml({{"officeDocument", "xl/workbook.xml"}}));
  add("xl/workbook.xml", parts.workbook.empty() ? workbook_xml({"Sheet1"}) : parts.workbook);
  add("xl/_rels/workbook.xml.rels",
      parts.relationships.empty()
          ? relationships_xml({{"worksheet", "worksheets/sheet1.xml"}, {"sharedStrings", "sharedStrings.xml"}, {"styles", "styles.xml"}})
          : parts.relationships);
  add("xl/worksheets/sheet1.xml", parts.sheet);
  if (!parts.shared_strings.empty()) add("xl/sharedStrings.xml", parts.shared_strings);
  if (!parts.styles.empty()) add("xl/styles.xml", parts.styles);
  for (const ZipEntry& e : parts.more) entries.push_back(e);
  return zip_archive(entries);
}

}  // namespace lumeno::fuzz
