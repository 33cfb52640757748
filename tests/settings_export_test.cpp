#include "tests/support/app_fixture.h"

#include <string>

using namespace testbed;

namespace {


// The registry editor writes UTF-16 with a byte-order mark; as code page 932.
std::string asText(const std::string& bytes) {
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') {
        return bytes;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(bytes.data() + 2);
    const int count = static_cast<int>((bytes.size() - 2) / 2);
    const int length = WideCharToMultiByte(932, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(932, 0, wide, count, text.data(), length, nullptr, nullptr);
    return text;
}

} // namespace

class SettingsExportTest : public KelvarinTest {
  protected:
    std::string workingDir() override { return folder; }
    std::string exported() const { return folder + "\\DriveInfo.reg"; }

    const std::string folder = makeTempDir("export");
};

TEST_F(SettingsExportTest, ExportsThroughTheRegistryEditorAndAsksBeforeOverwriting) {
    // Values an apply has just written are in the export.
    showDrive(2);
    typeInto(IDC_LABEL, "書出テスト");
    app.postCommand(ID_APPLY_THIS);
    expectBox("E ドライブの情報の変更を適用しますか？", IDOK);

    app.postCommand(ID_FILE_EXPORT);
    expectBox("ドライブ情報をregファイルに書き出しますか？", IDOK);
    ASSERT_TRUE(waitFor([&] { return readFileBytes(exported()).size() > 0; }, 15000)) << "no DriveInfo.reg";
    Sleep(500);  // the registry editor may still be writing
    const std::string text = asText(readFileBytes(exported()));
    EXPECT_NE(std::string::npos,
              text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\E\\DefaultLabel]"))
        << utf8(text);
    EXPECT_NE(std::string::npos, text.find("@=\"書出テスト\"")) << utf8(text);

    // Present: a second question; Cancel there leaves the file as it was.
    const std::string before = readFileBytes(exported());
    app.postCommand(ID_FILE_EXPORT);
    expectBox("ドライブ情報をregファイルに書き出しますか？", IDOK);
    expectBox("DriveInfo.regを上書きしますか？", IDCANCEL);
    // Cancel on the first question asks nothing more.
    app.postCommand(ID_FILE_EXPORT);
    expectBox("ドライブ情報をregファイルに書き出しますか？", IDCANCEL);
    EXPECT_TRUE(app.noMessageBoxFor(700));
    Sleep(1500);
    EXPECT_EQ(before, readFileBytes(exported()));
}
