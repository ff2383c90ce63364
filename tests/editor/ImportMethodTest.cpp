#include "editor/ImportMethod.h"

#include <gtest/gtest.h>

#include "EditorFixture.h"
#include "SqliteSupport.h"
#include "editor/FieldSettings.h"
#include "editor/UndoHistory.h"
#include "sources/SourceCatalog.h"

namespace vantrel {
namespace {

using Names = std::vector<std::string>;
using test::Fixture;

struct RecordedPrompt final : UserPrompt {
    std::vector<std::pair<std::string, std::string>> Messages;  // text, focus
    bool AskYesNo(const std::string&) override { return false; }
    void ShowMessage(const std::string& text, const std::string& focus) override {
        Messages.emplace_back(text, focus);
    }
    void ShowErrorWindow() override {}
};

// The field settings window on pair 1, reading `inTable` of `input` into table T of a small
// output database, with the import method dialog it opens.
struct MethodDialog {
    test::TempDir dir;
    SessionState state;
    Engine engine{state.Errors.Pending};
    MappingPanel mainPanel, fieldPanel;
    SourceCatalog catalog{state, engine, mainPanel};
    CatalogFieldLister fields{catalog};
    RecordedPrompt prompt;
    ImportMethod dialog{state, engine, fields, fieldPanel, prompt};
    FieldSettings window{state, fieldPanel, mainPanel, fields};

    explicit MethodDialog(
        const std::string& input, const std::string& inTable,
        const char* outTable = "CREATE TABLE T(番号 TEXT, 氏名 TEXT, 金額 TEXT)") {
        CreateUndoFiles(state, dir.Path());
        ImportDefinition& def = state.Definition;
        def.OutputPath = test::MakeDatabase(dir, "out.sqlite", outTable);
        def.InputPath = input;
        def.Allocate(1, 3);
        def.TableCount = 1;
        def.Table(1) = def.DefaultTableSetting;
        def.Table(1).FieldSlot = 1;
        def.Table(1).OutTable = "T";
        def.Table(1).InTable = inTable;
        state.CurrentTable = 1;
    }
    TableSetting& Pair() { return state.Definition.Table(1); }
    const ImportMethodForm& Form() const { return dialog.Form(); }
    Names GridColumn(int col) const { return test::ColumnTexts(fieldPanel.Grid, col); }
};

TEST(ImportMethod, LoadingShowsTheControlsAndPreviewOfEachInputKind) {
    MethodDialog txt(Fixture("text/tab_delimited.txt"), "tab_delimited.txt");
    txt.Pair().Delimiter = "\t";
    txt.dialog.Load();
    const ImportMethodForm& t = txt.Form();
    EXPECT_TRUE(txt.fieldPanel.Busy) << "the field settings window waits for the dialog";
    EXPECT_TRUE(t.Enabled);
    EXPECT_EQ(t.Caption, "tab_delimited.txtｲﾝﾎﾟｰﾄ方法");
    EXPECT_TRUE(t.Option2[0].Value && !t.Option2[1].Value && !t.Option2[2].Value);
    EXPECT_TRUE(t.Check2.Visible && !t.Check2.Value && t.Check1.Visible && t.Check1.Enabled);
    EXPECT_EQ(t.Check1.Caption, "1行目をﾃﾞｰﾀとしてもｲﾝﾎﾟｰﾄする");
    EXPECT_EQ(t.Label3.Caption, "1行目");
    EXPECT_TRUE(t.Text2.Visible && t.Label2.Visible && t.CmdOK.Visible);
    EXPECT_EQ(t.Text2.Text, "\t");
    ASSERT_EQ(t.List1.Items.size(), 5u);
    EXPECT_EQ(t.List1.Items[2], "3\tT-02\t\"タブ\t入り\"\t20\t引用内のタブ") << "lines unprocessed";

    MethodDialog csv(Fixture("text/excel_sjis.csv"), "excel_sjis.csv");
    csv.Pair().WriteMode = WriteMode::Update;
    csv.Pair().HeaderAsData = 1;
    csv.Pair().SkipRows = "7";
    csv.dialog.Load();
    const ImportMethodForm& c = csv.Form();
    EXPECT_TRUE(c.Option2[2].Value && !c.Option2[0].Value);
    EXPECT_TRUE(c.Check1.Value);
    EXPECT_EQ(c.Text1.Text, "7");
    EXPECT_FALSE(c.Text2.Visible || c.Label2.Visible) << "the delimiter is for txt only";
    ASSERT_EQ(c.List1.Items.size(), 6u);
    EXPECT_EQ(
        c.List1.Items[2],
        "3\t2,\"Smith, John\",\"Line1\nLine2\",-0.25,1999/12/31,\"彼は\"\"はい\"\"と言った\"");

    MethodDialog xls(Fixture("excel/mixed_types.xls"), "Sheet1$");
    xls.dialog.Load();
    ASSERT_EQ(xls.Form().List1.Items.size(), 7u);
    EXPECT_EQ(xls.Form().List1.Items[0], "1\tID\t氏名\t\t金額\t日付\t日時\t時刻\t有効\tメモ\t");
    EXPECT_TRUE(xls.Form().Check2.Visible && xls.Form().CmdOK.Visible);
    EXPECT_FALSE(xls.Form().Text2.Visible);
    MethodDialog xlsx(Fixture("excel/mixed_types.xlsx"), "Sheet1$");
    xlsx.dialog.Load();
    EXPECT_EQ(xlsx.Form().List1.Items, xls.Form().List1.Items) << "read like its .xls twin";
    EXPECT_TRUE(xlsx.Form().Check2.Visible && xlsx.Form().CmdOK.Visible &&
                xlsx.Form().Frame2.Visible);
    EXPECT_EQ(MethodInputOf("/d/book.XLSM"), MethodInput::Xls);
    EXPECT_EQ(MethodInputOf("/d/book.xlsb"), MethodInput::Other);

    MethodDialog mdb(Fixture("access/jet4_v2000.mdb"), "NoIndex");
    mdb.Pair().SkipRows = "2";
    mdb.dialog.Load();
    const ImportMethodForm& m = mdb.Form();
    EXPECT_FALSE(m.Check2.Visible || m.Check1.Visible || m.CmdOK.Visible || m.Text2.Visible);
    EXPECT_TRUE(m.Frame2.Visible && m.Text1.Visible);
    EXPECT_EQ(m.Text1.Text, "2");
    ASSERT_EQ(m.List1.Items.size(), 4u);
    EXPECT_EQ(m.List1.Items[0], " \tA\tB\tC\tD\t");
    EXPECT_EQ(m.List1.Items[1].substr(0, 2), "1\t");

    MethodDialog accdb(Fixture("access/ace12_v2007.accdb"), "NoIndex");
    accdb.dialog.Load();
    const ImportMethodForm& a = accdb.Form();
    EXPECT_FALSE(a.Frame2.Visible);
    EXPECT_TRUE(a.Frame1.Visible && a.Cmdupdt.Visible);
    EXPECT_EQ(a.Cmdupdt.Top, a.Frame1.Top + a.Frame1.Height + 20);
    EXPECT_EQ(a.Height, a.Cmdupdt.Top + a.Cmdupdt.Height + 550);
    EXPECT_LT(a.Height, DesignMethodForm().Height);
    EXPECT_TRUE(a.List1.Items.empty());

    MethodDialog none("", "");
    none.dialog.Load();
    EXPECT_FALSE(none.Form().Check2.Visible);
    EXPECT_EQ(none.Form().Check1.Caption, "見出し(1行目)をﾃﾞｰﾀとしてもｲﾝﾎﾟｰﾄする");
    EXPECT_TRUE(none.Form().List1.Items.empty());
}

TEST(ImportMethod, PreviewIsBoundedAndNeverReports) {
    test::TempDir dir;
    std::string text;
    for (int i = 1; i <= 30; ++i)
        text += "r" + std::to_string(i) + ",x\r\n";
    test::WriteBytes(dir.File("long.csv"), text);
    MethodDialog csv(dir.File("long.csv"), "long.csv");
    csv.dialog.Load();
    ASSERT_EQ(csv.Form().List1.Items.size(), 20u);
    EXPECT_EQ(csv.Form().List1.Items.back(), "20\tr20,x");

    const std::string db = test::MakeDatabase(
        dir, "in.sqlite",
        "CREATE TABLE S(k INTEGER, v TEXT);"
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 25)"
        " INSERT INTO S SELECT n, 'v' || n FROM c; UPDATE S SET v = NULL WHERE k = 3;");
    MethodDialog sqlite(db, "S");
    sqlite.dialog.Load();
    const Names& rows = sqlite.Form().List1.Items;
    ASSERT_EQ(rows.size(), 21u) << "names, then 20 records";
    EXPECT_EQ(rows[0], " \tk\tv\t");
    EXPECT_EQ(rows[3], "3\t3\t\t") << "a Null adds only its tab";
    EXPECT_EQ(rows[20], "20\t20\tv20\t");

    for (const char* missing : {"/nonexistent/in.csv", "/nonexistent/in.xls"}) {
        MethodDialog gone(missing, "Sheet1$");
        gone.state.Errors.Pending.Set(3078, "earlier");
        gone.dialog.Load();
        EXPECT_TRUE(gone.Form().List1.Items.empty()) << missing;
        EXPECT_TRUE(gone.state.Errors.Empty() && gone.prompt.Messages.empty()) << missing;
        EXPECT_EQ(gone.state.Errors.Pending.Description, "earlier") << "left as it was";
    }
}

TEST(ImportMethod, NonImportRowsMustBeNumericAndAtLeastOneOutsideWorkbooks) {
    const std::string bad(kMalformedSkipRows), zero(kSkipRowsBelowOne);
    const struct {
        const char* text;
        bool allowZero;
        std::string problem;
    } cases[] = {{"2-4,6", false, ""}, {"2,,3", false, ""}, {" 2 - 4", false, ""},
                 {"2-a", false, bad},  {"-3", false, bad},  {"3-", false, bad},
                 {"3.5", false, bad},  {"2, ", false, bad}, {"0", false, zero},
                 {"1-0", false, zero}, {"0-2", true, ""},   {"0,a", false, bad}};
    for (const auto& c : cases)
        EXPECT_EQ(SkipRowsProblem(c.text, c.allowZero), c.problem) << c.text;

    MethodDialog csv(Fixture("text/DATA.CSV"), "DATA.CSV");
    csv.dialog.Load();
    csv.dialog.Text1Change("0");
    csv.dialog.CmdOKClick();
    csv.dialog.Text1Change("2-a");
    const TableSetting before = csv.Pair();
    EXPECT_FALSE(csv.dialog.CmdupdtClick().Close);
    EXPECT_EQ(csv.prompt.Messages,
              (std::vector<std::pair<std::string, std::string>>{{zero, "Text1"}, {bad, "Text1"}}));
    EXPECT_EQ(csv.Pair(), before) << "nothing stored";
    EXPECT_TRUE(csv.fieldPanel.Busy) << "the dialog stays open";

    csv.dialog.Check2Click(true);
    csv.dialog.CmdOKClick();
    EXPECT_EQ(csv.prompt.Messages.size(), 2u) << "no header: nothing to work out";

    // An empty box is not checked and stores no rows.
    csv.Pair().SkipRows = "5";
    csv.dialog.Check2Click(false);
    csv.dialog.Text1Change("");
    EXPECT_TRUE(csv.dialog.CmdupdtClick().Close);
    EXPECT_EQ(csv.Pair().SkipRows, "");
    EXPECT_FALSE(csv.fieldPanel.Busy);
}

TEST(ImportMethod, HeaderRowShownFollowsTheBoxesWithoutStoring) {
    MethodDialog csv(Fixture("text/DATA.CSV"), "DATA.CSV");
    csv.dialog.Load();
    csv.dialog.Text1Change("1-3");
    csv.dialog.CmdOKClick();
    EXPECT_EQ(csv.Form().Label3.Caption, "4行目");
    EXPECT_EQ(csv.Form().Check1.Caption, "4行目をﾃﾞｰﾀとしてもｲﾝﾎﾟｰﾄする");
    EXPECT_EQ(csv.Pair().HeaderRow, 1);
    csv.dialog.Check2Click(true);
    EXPECT_EQ(csv.Form().Label3.Caption, "0行目");
    EXPECT_FALSE(csv.Form().Check1.Enabled);
    csv.dialog.Check2Click(false);
    EXPECT_TRUE(csv.Form().Check1.Enabled);
    csv.dialog.Text1Change("2");
    csv.dialog.Text1LostFocus();
    EXPECT_EQ(csv.Form().Label3.Caption, "1行目");
    // However long the list, every entry counts, as it does in the run.
    csv.dialog.Text1Change("40000-80000,1-3");
    csv.dialog.CmdOKClick();
    EXPECT_EQ(csv.Form().Label3.Caption, "4行目");

    // A pair without header opens so, and keeps its fields when applied unchanged.
    MethodDialog bare(Fixture("text/no_header_3_then_5.csv"), "no_header_3_then_5.csv");
    bare.Pair().HeaderRow = 0;
    bare.state.Errors.AddErrorLine("from before");
    bare.dialog.Load();
    EXPECT_TRUE(bare.Form().Check2.Value);
    EXPECT_FALSE(bare.Form().Check1.Enabled);
    EXPECT_EQ(bare.Form().Label3.Caption, "0行目");
    const MethodApplyResult r = bare.dialog.CmdupdtClick();
    EXPECT_TRUE(r.Close && !r.ReloadFields && !r.ShowErrorWindow && !r.CmdErrEnabled);
    EXPECT_EQ(bare.Pair().HeaderRow, 0);
    EXPECT_TRUE(bare.state.Errors.Empty()) << "applying starts with an empty log";
    EXPECT_TRUE(bare.state.InFieldList.Empty()) << "fields not read again";
}

TEST(ImportMethod, ANewHeaderRowRebuildsTheMappingByName) {
    test::TempDir dir;
    test::WriteBytes(dir.File("report.csv"),
                     "月次報告\r\n作成日,2024\r\n番号,氏名,金額\r\n1,山田,100\r\n");
    MethodDialog f(dir.File("report.csv"), "report.csv");
    // Fed by a field the new header has too: only emptying the first pair remaps it by name.
    f.state.Definition.FieldPairs(1, 1) = FieldPair{"番号", "金額"};
    ASSERT_FALSE(f.window.Open());
    ASSERT_EQ(f.GridColumn(1), (Names{"番号"}));

    f.dialog.Load();
    f.dialog.Text1Change("1-2");
    const MethodApplyResult r = f.dialog.CmdupdtClick();
    EXPECT_TRUE(r.Close && r.ReloadFields && !r.ShowErrorWindow);
    EXPECT_EQ(f.Pair().HeaderRow, 3);
    EXPECT_EQ(f.Pair().SkipRows, "1-2");
    EXPECT_TRUE(f.state.FieldsChanged);
    EXPECT_EQ(f.state.InFieldList.ToVector(), (Names{"番号", "氏名", "金額"}));
    f.window.ShowPairFields();
    EXPECT_EQ(f.GridColumn(0), (Names{"番号", "氏名", "金額"}));
    EXPECT_EQ(f.GridColumn(1), (Names{"番号", "氏名", "金額"}));
    EXPECT_TRUE(f.fieldPanel.Lists[0].Empty() && f.fieldPanel.Lists[1].Empty());

    // The field settings window can take the change back.
    ASSERT_TRUE(PopUndo(f.state, f.fieldPanel));
    EXPECT_EQ(f.Pair().HeaderRow, 1);
    EXPECT_EQ(f.state.Definition.FieldPairs(1, 1), (FieldPair{"番号", "金額"}));

    // A header row past the end of the file: the setting stays, the log says why no fields.
    f.dialog.Load();
    f.dialog.Text1Change("1-9");
    const MethodApplyResult past = f.dialog.CmdupdtClick();
    EXPECT_TRUE(past.Close && past.ReloadFields && past.ShowErrorWindow && past.CmdErrEnabled);
    EXPECT_EQ(f.Pair().HeaderRow, 10);
    EXPECT_EQ(
        f.state.Errors.Lines(),
        (Names{"見出しフィールがおかしかもしれません report.csvのインポート方法を確認して下さい"}));
    EXPECT_EQ(f.state.Definition.FieldPairs(1, 1), FieldPair{});

    // Row 0 counts for workbooks: rows 0-2 skipped leave row 3 as the header.
    MethodDialog xls(Fixture("excel/header_row3.xls"), "明細$",
                     "CREATE TABLE T(コード TEXT, 数量 TEXT, 備考 TEXT)");
    xls.dialog.Load();
    xls.dialog.Text1Change("0-2");
    EXPECT_TRUE(xls.dialog.CmdupdtClick().ReloadFields);
    EXPECT_EQ(xls.state.InFieldList.ToVector(),
              (Names{"コード", "品名", "数量", "単価", "納品日"}));
    EXPECT_EQ(xls.state.Definition.FieldPairs(1, 2), (FieldPair{"数量", "数量"}));
    EXPECT_EQ(xls.state.Definition.FieldPairs(1, 3), FieldPair{});
}

TEST(ImportMethod, ApplyingStoresTheOptionsAsTheBoxesStand) {
    MethodDialog txt(Fixture("text/semicolon.txt"), "semicolon.txt");
    txt.dialog.Load();
    txt.dialog.Option2Click(1);
    txt.dialog.Option2Click(5);
    txt.dialog.Check1Click(true);
    txt.dialog.Text2Change(";");
    txt.dialog.CmdupdtClick();
    EXPECT_EQ(txt.Pair().WriteMode, WriteMode::Append);
    EXPECT_EQ(txt.Pair().HeaderAsData, 1);
    EXPECT_EQ(txt.Pair().Delimiter, ";");
    txt.dialog.Load();
    EXPECT_TRUE(txt.Form().Option2[1].Value && txt.Form().Check1.Value);
    txt.dialog.Option2Click(2);
    txt.dialog.Text2Change("|");
    txt.dialog.Unload();
    EXPECT_EQ(txt.Pair().WriteMode, WriteMode::Append) << "the close box stores nothing";
    EXPECT_FALSE(txt.fieldPanel.Busy);

    // The other inputs store their hidden boxes: an accdb has no rows to skip any more, but no
    // input loses its delimiter, which a later text input would need.
    MethodDialog accdb(Fixture("access/ace12_v2007.accdb"), "NoIndex");
    accdb.Pair().SkipRows = "2";
    accdb.Pair().HeaderAsData = 1;
    accdb.Pair().WriteMode = 7;
    accdb.dialog.Load();
    EXPECT_FALSE(accdb.Form().Option2[0].Value || accdb.Form().Option2[1].Value ||
                 accdb.Form().Option2[2].Value);
    accdb.dialog.CmdupdtClick();
    EXPECT_EQ(accdb.Pair().SkipRows, "");
    EXPECT_EQ(accdb.Pair().HeaderAsData, 0);
    EXPECT_EQ(accdb.Pair().WriteMode, 7) << "no button chosen, no update mode made up";
    EXPECT_EQ(accdb.Pair().Delimiter, ",");
}

}  // namespace
}  // namespace vantrel
