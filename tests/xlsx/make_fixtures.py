#!/usr/bin/python3
"""Makes the workbooks tests/xlsx_reader_test.cpp reads, one a writer:

    tests/xlsx/make_fixtures.py [OUT_DIR]     (default: this folder)

  openpyxl.xlsx       written with openpyxl (python3-openpyxl): strings,
                      numbers, dates and times, booleans, a formula never
                      calculated, merged cells, a comment, an input rule,
                      conditional formats, a hidden row, a second sheet and
                      a chart sheet
  openpyxl-1904.xlsx  a book in the 1904 date system, with openpyxl
  libreoffice.xlsx    LibreOffice's own (soffice --headless --convert-to
                      xlsx) from libreoffice.fods, written here: rich text,
                      a formula's text, an error value, a date and a time,
                      merged cells, a comment, a hidden row
  excel-style.xlsx    the parts as Excel writes them, written out here (no
                      Excel at hand): phonetic runs, "_x000D_", shared
                      formulas, x14 extensions, markup-compatibility blocks,
                      a hidden sheet, the 1900 date system's styles

The test knows what each holds; change both together.
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def openpyxl_books(out):
    import openpyxl
    from openpyxl.chart import BarChart, Reference
    from openpyxl.comments import Comment
    from openpyxl.formatting.rule import CellIsRule
    from openpyxl.styles import PatternFill
    from openpyxl.worksheet.datavalidation import DataValidation

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "収録"
    ws.append(["ボイス名", "話者", "本文", "テイク", "収録日", "OK"])
    ws.append(["ERI_0001", "エリ", "「おはよう」\n二行目", 3, datetime.date(2024, 5, 1), True])
    ws.append(["ERI_0002", "エリ", "a & b < c", 0.001, datetime.datetime(2024, 5, 2, 13, 45, 30), False])
    ws.append(["YUU_0001", "ユウ", "", -12.5, datetime.time(9, 30), None])
    ws["G2"] = "=D2*2"  # never calculated: openpyxl writes no value
    ws["H2"] = 1e-20
    ws["H3"] = 123456789012345.0
    ws.merge_cells("A6:C6")
    ws["A6"] = "結合"
    ws["C2"].comment = Comment("監督メモ", "director")
    rule = DataValidation(type="list", formula1='"OK,NG,要再収録"')
    ws.add_data_validation(rule)
    rule.add("F2:F100")
    ws.conditional_formatting.add("D2:D100", CellIsRule(operator="lessThan", formula=["1"], fill=PatternFill("solid", fgColor="FFC7CE")))
    ws.row_dimensions[4].hidden = True

    notes = wb.create_sheet("メモ")
    notes["B3"] = "空白の後"
    notes["A1"] = 42

    chart = wb.create_chartsheet("グラフ")
    bars = BarChart()
    bars.add_data(Reference(ws, min_col=4, min_row=1, max_row=3), titles_from_data=True)
    chart.add_chart(bars)
    wb.save(os.path.join(out, "openpyxl.xlsx"))

    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    wb = openpyxl.Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "1904"
    ws["A1"] = datetime.date(2024, 5, 1)
    ws["A2"] = datetime.datetime(1904, 1, 2, 6, 0)
    ws["A3"] = datetime.time(12, 0)
    ws["A4"] = 7
    wb.save(os.path.join(out, "openpyxl-1904.xlsx"))


FODS = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 xmlns:dc="http://purl.org/dc/elements/1.1/"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <number:date-style style:name="N1"><number:year number:style="long"/><number:text>/</number:text><number:month number:style="long"/><number:text>/</number:text><number:day number:style="long"/></number:date-style>
  <number:time-style style:name="N2"><number:hours number:style="long"/><number:text>:</number:text><number:minutes number:style="long"/></number:time-style>
  <style:style style:name="date" style:family="table-cell" style:data-style-name="N1"/>
  <style:style style:name="time" style:family="table-cell" style:data-style-name="N2"/>
  <style:style style:name="bold" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="hidden" style:family="table-row"/>
 </office:automatic-styles>
 <office:body><office:spreadsheet>
  <table:table table:name="台帳">
   <table:table-column table:number-columns-repeated="5"/>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>ボイス名</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>本文</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>テイク</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>収録日</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>OK</text:p></table:table-cell>
   </table:table-row>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>ERI_0001</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>強調<text:span text:style-name="bold">太字</text:span>です</text:p></table:table-cell>
    <table:table-cell office:value-type="float" office:value="2"><text:p>2</text:p></table:table-cell>
    <table:table-cell table:style-name="date" office:value-type="date" office:date-value="2024-05-01"><text:p>2024/05/01</text:p></table:table-cell>
    <table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>
   </table:table-row>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>ERI_0002</text:p></table:table-cell>
    <table:table-cell office:value-type="string"><text:p>下線_x0041_はそのまま</text:p></table:table-cell>
    <table:table-cell table:formula="of:=[.C2]*3" office:value-type="float" office:value="6"><text:p>6</text:p></table:table-cell>
    <table:table-cell table:style-name="time" office:value-type="time" office:time-value="PT13H45M00S"><text:p>13:45</text:p></table:table-cell>
    <table:table-cell table:formula="of:=1/0" office:value-type="float" office:value="0"><text:p>#DIV/0!</text:p></table:table-cell>
   </table:table-row>
   <table:table-row table:visibility="collapse">
    <table:table-cell office:value-type="string"><text:p>隠れた行</text:p></table:table-cell>
    <table:table-cell table:formula="of:=&quot;連&quot;&amp;&quot;結&quot;" office:value-type="string" office:string-value="連結"><text:p>連結</text:p></table:table-cell>
    <table:table-cell office:value-type="float" office:value="0.001"><text:p>0.001</text:p></table:table-cell>
   </table:table-row>
   <table:table-row>
    <table:table-cell table:number-columns-spanned="3" office:value-type="string"><text:p>結合したセル</text:p></table:table-cell>
    <table:covered-table-cell table:number-columns-repeated="2"/>
    <table:table-cell office:value-type="string"><office:annotation><dc:creator>director</dc:creator><text:p>要確認</text:p></office:annotation><text:p>注記つき</text:p></table:table-cell>
   </table:table-row>
  </table:table>
  <table:table table:name="二枚目">
   <table:table-row><table:table-cell/><table:table-cell office:value-type="string"><text:p>B1</text:p></table:table-cell></table:table-row>
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
"""


def libreoffice_book(out):
    work = tempfile.mkdtemp(prefix="lumeno-fixtures-")
    try:
        source = os.path.join(work, "libreoffice.fods")
        with open(source, "w", encoding="utf-8") as f:
            f.write(FODS)
        subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(work, "profile"), "--headless",
                        "--convert-to", "xlsx:Calc MS Excel 2007 XML", "--outdir", work, source],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.copy(os.path.join(work, "libreoffice.xlsx"), os.path.join(out, "libreoffice.xlsx"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


MAIN = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
R = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
MC = 'xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"'
X14AC = 'xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac"'
XR = 'xmlns:xr="http://schemas.microsoft.com/office/spreadsheetml/2014/revision"'
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"

EXCEL_PARTS = {
    "[Content_Types].xml": DECL + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Default Extension="vml" ContentType="application/vnd.openxmlformats-officedocument.vmlDrawing"/>'
    '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
    '<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
    '<Override PartName="/xl/theme/theme1.xml" ContentType="application/vnd.openxmlformats-officedocument.theme+xml"/>'
    '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
    '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
    '<Override PartName="/xl/comments1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml"/>'
    '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
    '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/></Types>',
    "_rels/.rels": DECL + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>'
    '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>'
    f'<Relationship Id="rId1" Type="{RELS}/officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "docProps/app.xml": DECL + '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">'
    '<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity></Properties>',
    "docProps/core.xml": DECL + '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" '
    'xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:creator>director</dc:creator></cp:coreProperties>',
    "xl/workbook.xml": DECL + f'<workbook {MAIN} {R} {MC} mc:Ignorable="x15 xr xr6 xr10 xr2" '
    'xmlns:x15="http://schemas.microsoft.com/office/spreadsheetml/2010/11/main" ' + XR + ' '
    'xmlns:xr6="http://schemas.microsoft.com/office/spreadsheetml/2016/revision6" '
    'xmlns:xr10="http://schemas.microsoft.com/office/spreadsheetml/2016/revision10" '
    'xmlns:xr2="http://schemas.microsoft.com/office/spreadsheetml/2015/revision2">'
    '<fileVersion appName="xl" lastEdited="7" lowestEdited="7" rupBuild="27328"/><workbookPr defaultThemeVersion="166925"/>'
    '<mc:AlternateContent xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"><mc:Choice Requires="x15">'
    '<x15ac:absPath url="C:\\Users\\director\\Documents\\" xmlns:x15ac="http://schemas.microsoft.com/office/spreadsheetml/2010/11/ac"/>'
    '</mc:Choice></mc:AlternateContent>'
    '<xr:revisionPtr revIDLastSave="0" documentId="8_{00000000-0000-0000-0000-000000000000}" xr6:coauthVersionLast="47" '
    'xr6:coauthVersionMax="47" xr10:uidLastSave="{00000000-0000-0000-0000-000000000000}"/>'
    '<bookViews><workbookView xWindow="-120" yWindow="-120" windowWidth="29040" windowHeight="15720" activeTab="0"/></bookViews>'
    '<sheets><sheet name="収録台帳" sheetId="1" r:id="rId1"/><sheet name="控え" sheetId="3" state="hidden" r:id="rId2"/></sheets>'
    '<definedNames><definedName name="_xlnm._FilterDatabase" localSheetId="0" hidden="1">収録台帳!$A$1:$F$5</definedName></definedNames>'
    '<calcPr calcId="191029"/></workbook>',
    "xl/_rels/workbook.xml.rels": DECL + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    f'<Relationship Id="rId3" Type="{RELS}/theme" Target="theme/theme1.xml"/>'
    f'<Relationship Id="rId2" Type="{RELS}/worksheet" Target="worksheets/sheet2.xml"/>'
    f'<Relationship Id="rId1" Type="{RELS}/worksheet" Target="worksheets/sheet1.xml"/>'
    f'<Relationship Id="rId5" Type="{RELS}/sharedStrings" Target="sharedStrings.xml"/>'
    f'<Relationship Id="rId4" Type="{RELS}/styles" Target="styles.xml"/></Relationships>',
    "xl/sharedStrings.xml": DECL + f'<sst {MAIN} count="9" uniqueCount="8">'
    '<si><t>ボイス名</t></si>'
    '<si><t>収録日</t><rPh sb="0" eb="3"><t>シュウロクビ</t></rPh><phoneticPr fontId="1"/></si>'
    '<si><r><t>台詞の</t></r><r><rPr><b/><sz val="11"/><color rgb="FFFF0000"/><rFont val="游ゴシック"/><family val="3"/><charset val="128"/>'
    '<scheme val="minor"/></rPr><t>強調</t></r><rPh sb="0" eb="2"><t>セリフ</t></rPh><rPh sb="3" eb="5"><t>キョウチョウ</t></rPh>'
    '<phoneticPr fontId="1"/></si>'
    '<si><t xml:space="preserve">一行目_x000D_\n二行目 </t></si>'
    '<si><t>_x005F_x0041_ は下線つき</t></si>'
    '<si><t>ERI_0001</t></si>'
    '<si><t>テイク</t></si>'
    '<si><t>&lt;要再収録&gt; &amp; 😀</t></si></sst>',
    "xl/styles.xml": DECL + f'<styleSheet {MAIN} {MC} mc:Ignorable="x14ac x16r2 xr" {X14AC}>'
    '<numFmts count="2"><numFmt numFmtId="176" formatCode="yyyy/m/d;@"/><numFmt numFmtId="177" formatCode="0.00_ ;[Red]\\-0.00\\ "/></numFmts>'
    '<fonts count="1" x14ac:knownFonts="1"><font><sz val="11"/><color theme="1"/><name val="游ゴシック"/><family val="2"/><charset val="128"/>'
    '<scheme val="minor"/></font></fonts><fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>'
    '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>'
    '<cellStyleXfs count="1"><xf numFmtId="14" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
    '<cellXfs count="6"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
    '<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="20" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="177" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="22" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0" applyAlignment="1"><alignment wrapText="1"/></xf></cellXfs>'
    '<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/></cellStyles><dxfs count="1"><dxf><fill><patternFill>'
    '<bgColor rgb="FFFFC7CE"/></patternFill></fill></dxf></dxfs><tableStyles count="0" defaultTableStyle="TableStyleMedium2" '
    'defaultPivotStyle="PivotStyleLight16"/></styleSheet>',
    "xl/worksheets/sheet1.xml": DECL + f'<worksheet {MAIN} {R} {MC} mc:Ignorable="x14ac xr xr2 xr3" {X14AC} {XR} '
    'xmlns:xr2="http://schemas.microsoft.com/office/spreadsheetml/2015/revision2" '
    'xmlns:xr3="http://schemas.microsoft.com/office/spreadsheetml/2016/revision3" xr:uid="{00000000-0001-0000-0000-000000000000}">'
    '<dimension ref="A1:F5"/><sheetViews><sheetView tabSelected="1" workbookViewId="0"><pane ySplit="1" topLeftCell="A2" '
    'activePane="bottomLeft" state="frozen"/><selection pane="bottomLeft" activeCell="B3" sqref="B3"/></sheetView></sheetViews>'
    '<sheetFormatPr defaultRowHeight="18.75" x14ac:dyDescent="0.4"/><cols><col min="3" max="3" width="30.625" customWidth="1"/></cols>'
    '<sheetData>'
    '<row r="1" spans="1:6" x14ac:dyDescent="0.4"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>6</v></c><c r="C1" t="s"><v>2</v></c>'
    '<c r="D1" t="s"><v>1</v></c></row>'
    '<row r="2" spans="1:6" ht="37.5" x14ac:dyDescent="0.4"><c r="A2" t="s"><v>5</v></c><c r="B2"><v>3</v></c>'
    '<c r="C2" s="5" t="s"><v>3</v></c><c r="D2" s="1"><v>45413</v></c><c r="E2" s="2"><v>0.5625</v></c>'
    '<c r="F2" t="b"><v>1</v></c></row>'
    '<row r="3" spans="1:6" x14ac:dyDescent="0.4"><c r="B3"><f t="shared" ref="B3:B4" si="0">B2+1</f><v>4</v></c>'
    '<c r="C3" t="s"><v>4</v></c><c r="D3" s="4"><v>45414.75</v></c><c r="E3" s="3"><v>1E-3</v></c>'
    '<c r="F3" t="e"><f>NA()</f><v>#N/A</v></c></row>'
    '<row r="4" spans="1:6" x14ac:dyDescent="0.4"><c r="B4"><f t="shared" si="0"/><v>5</v></c><c r="C4" t="str">'
    '<f>A2&amp;"_"&amp;B2</f><v>ERI_0001_3</v></c><c r="D4" s="1"/></row>'
    '<row r="5" spans="1:6" x14ac:dyDescent="0.4"><c r="C5" t="s"><v>7</v></c><c r="F5" t="inlineStr"><is><t>インライン</t></is></c></row>'
    '</sheetData>'
    '<autoFilter ref="A1:F5" xr:uid="{00000000-0009-0000-0000-000000000000}"/>'
    '<conditionalFormatting sqref="B2:B4"><cfRule type="cellIs" dxfId="0" priority="1" operator="greaterThan"><formula>3</formula>'
    '</cfRule></conditionalFormatting>'
    '<phoneticPr fontId="1"/><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
    '<pageSetup paperSize="9" orientation="portrait"/><legacyDrawing r:id="rId2"/>'
    '<extLst><ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}" xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">'
    '<x14:dataValidations count="1" xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main"><x14:dataValidation type="list" '
    'allowBlank="1" showInputMessage="1" showErrorMessage="1"><x14:formula1><xm:f>控え!$A$1:$A$3</xm:f></x14:formula1>'
    '<xm:sqref>F2:F100</xm:sqref></x14:dataValidation></x14:dataValidations></ext></extLst></worksheet>',
    "xl/worksheets/_rels/sheet1.xml.rels": DECL + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    f'<Relationship Id="rId3" Type="{RELS}/comments" Target="../comments1.xml"/>'
    f'<Relationship Id="rId2" Type="{RELS}/vmlDrawing" Target="../drawings/vmlDrawing1.vml"/>'
    '</Relationships>',
    "xl/comments1.xml": DECL + f'<comments {MAIN}><authors><author>director</author></authors><commentList>'
    '<comment ref="C2" shapeId="0"><text><r><t>要確認</t></r></text></comment></commentList></comments>',
    "xl/theme/theme1.xml": DECL + '<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Office テーマ"/>',
    "xl/drawings/vmlDrawing1.vml": '<xml xmlns:v="urn:schemas-microsoft-com:vml"></xml>',
    "xl/worksheets/sheet2.xml": DECL + f'<worksheet {MAIN} {R}><dimension ref="A1:A3"/><sheetData>'
    '<row r="1"><c r="A1" t="inlineStr"><is><t>OK</t></is></c></row><row r="2"><c r="A2" t="inlineStr"><is><t>NG</t></is></c></row>'
    '<row r="3"><c r="A3" t="inlineStr"><is><t>要再収録</t></is></c></row></sheetData></worksheet>',
}


def excel_style_book(out):
    with zipfile.ZipFile(os.path.join(out, "excel-style.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in EXCEL_PARTS.items():
            z.writestr(zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0)), text.encode("utf-8"), zipfile.ZIP_DEFLATED)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    openpyxl_books(out)
    libreoffice_book(out)
    excel_style_book(out)


if __name__ == "__main__":
    main()
