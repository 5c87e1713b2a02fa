#include "common/GuiTestKit.h"

#include "app/AboutDialog.h"
#include "support/FileFilter.h"
#include "ui/widgets/BitmapWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <memory>

namespace tonedesk::test {
namespace {

TEST(StringTableTest, ParsesIdsTextsAndEscapes) {
    const auto table = ParseStringTable("# comment\n"
                                        "1\tplain\n"
                                        "2\ttab\\there\\nnext \\\\ back\r\n"
                                        "\n"
                                        "x3\tnot a number\n"
                                        "4 without tab\n"
                                        "5\t\n"
                                        "1\tlast wins\n");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.at(1), QStringLiteral("last wins"));
    EXPECT_EQ(table.at(2), QStringLiteral("tab\there\nnext \\ back"));
    EXPECT_EQ(table.at(5), QString());
}

TEST(StringTableTest, FillsOnePlaceholderWithoutPrintf) {
    struct Case {
        const char* format;
        const char* argument;
        const char* expected;
    };
    const Case cases[] = {
        {"%s already exists.", "a.gam", "a.gam already exists."},
        {"%d lines", "3", "3 lines"},
        {"100%% done", "x", "100% done"},
        {"%s and %s", "one", "one and %s"}, // one placeholder only
        {"%n %x %", "arg", "%n %x %"},      // other directives stay as text
        {"no placeholder", "arg", "no placeholder"},
        {"%s", "%s%n", "%s%n"}, // the argument is not a format
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(FormatMessageText(QString::fromLatin1(c.format), QString::fromLatin1(c.argument)),
                  QString::fromLatin1(c.expected));
    }
}

class BundleTest : public GuiTest {};

TEST_F(BundleTest, HoldsEveryStringTheProgramShows) {
    const ResourceBundle& bundle = ProgramBundle();
    for (int id : {128,  57344, 2048, 2049, 2052, 2053, 2058, 2059, 2070, 2071, 4096, 4098,
                   4099, 4100,  4102, 4104, 4105, 4106, 4107, 4108, 4109, 4110, 4120, 4121}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(bundle.String(id).trimmed().isEmpty());
    }
    EXPECT_EQ(bundle.String(57344), QStringLiteral("Vanto Tonedesk"));
    EXPECT_EQ(bundle.String(128), QStringLiteral("Vanto Tonedesk"));
    EXPECT_TRUE(bundle.String(31999).isEmpty());
    EXPECT_FALSE(bundle.HasString(31999));
    // Texts formatted with a name or count hold exactly one placeholder.
    for (int id : {4104, 4107, 4108, 4109, 4110, 4120, 4121}) {
        EXPECT_EQ(bundle.String(id).count(QStringLiteral("%s")), 1) << id;
    }
}

TEST_F(BundleTest, FiltersAreDescriptionPatternPairsEndingInATab) {
    for (int id : {2052, 2053, 2058}) {
        SCOPED_TRACE(id);
        const std::string text = ProgramBundle().String(id).toStdString();
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\t');
        const auto filters = ParseFilterText(text);
        ASSERT_GE(filters.size(), 1u);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\t'),
                  2 * static_cast<long>(filters.size()));
        for (const FileFilter& f : filters) {
            EXPECT_EQ(f.pattern.rfind("*.", 0), 0u) << f.pattern;
            EXPECT_FALSE(f.description.empty());
        }
    }
    // The gamma save dialog writes the four-column layout for the first type.
    EXPECT_NE(
        ParseFilterText(ProgramBundle().String(2053).toStdString())[0].description.find("four"),
        std::string::npos);
    EXPECT_EQ(ParseFilterText(ProgramBundle().String(2053).toStdString())[0].pattern, "*.gam");
}

TEST_F(BundleTest, FormsHoldTheControlsTheCodeUses) {
    struct Control {
        int id;
        const char* className;
    };
    struct Form {
        int id;
        std::vector<Control> controls;
    };
    const std::vector<Form> forms = {
        {100, {{1, "QPushButton"}}},
        {106, {{1000, "QComboBox"},    {1001, "QComboBox"},   {1030, "QCheckBox"},
               {1022, "QSlider"},      {1020, "QSlider"},     {1021, "QSlider"},
               {1012, "QLineEdit"},    {1010, "QLineEdit"},   {1011, "QLineEdit"},
               {900, "QPushButton"},   {901, "QPushButton"},  {57601, "QPushButton"},
               {57604, "QPushButton"}, {1090, "QPushButton"}, {1088, "QPushButton"},
               {1091, "QPushButton"},  {1089, "QPushButton"}, {2000, "QPushButton"},
               {1134, "QFrame"},       {1126, "QLabel"},      {1129, "QLabel"}}},
        {130,
         {{1000, "QComboBox"},
          {3, "QPushButton"},
          {1, "QPushButton"},
          {2, "QPushButton"},
          {2001, "QPushButton"},
          {1001, "QLabel"}}},
        {131, {{1010, "QPlainTextEdit"}, {1, "QPushButton"}}},
        {155, {}},
    };
    for (const Form& f : forms) {
        SCOPED_TRACE(f.id);
        std::unique_ptr<QWidget> form(LoadForm(f.id));
        ASSERT_NE(form, nullptr);
        EXPECT_FALSE(form->windowTitle().isEmpty());
        for (const Control& c : f.controls) {
            QWidget* control = FindControl(form.get(), c.id);
            ASSERT_NE(control, nullptr) << c.id;
            EXPECT_TRUE(control->inherits(c.className))
                << c.id << " is " << control->metaObject()->className();
            EXPECT_EQ(ControlId(control), c.id);
        }
    }
    EXPECT_EQ(LoadForm(107), nullptr);
}

TEST_F(BundleTest, GammaEditorFormKeepsItsItemOrderAndRanges) {
    std::unique_ptr<QWidget> form(LoadForm(106));
    ASSERT_NE(form, nullptr);
    auto* bank = FindControl<QComboBox>(form.get(), 1000);
    auto* channel = FindControl<QComboBox>(form.get(), 1001);
    ASSERT_TRUE(bank && channel);
    EXPECT_EQ(bank->count(), 2);
    ASSERT_EQ(channel->count(), 4);
    EXPECT_TRUE(channel->itemText(0).contains(QStringLiteral("All")));
    EXPECT_EQ(channel->itemText(1), QStringLiteral("Red"));
    EXPECT_EQ(channel->itemText(2), QStringLiteral("Green"));
    EXPECT_EQ(channel->itemText(3), QStringLiteral("Blue"));
    for (int id : {1020, 1021, 1022}) {
        auto* slider = FindControl<QSlider>(form.get(), id);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->minimum(), -30);
        EXPECT_EQ(slider->maximum(), 30);
    }
    // Enter must not close the editor: no button of it is a default button.
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    }
}

TEST_F(BundleTest, StartUpBitmapIsAPalettizedBitmap) {
    const QByteArray data = ProgramBundle().BitmapData(189);
    QString why;
    const QImage image = DecodeBitmapFile(data, &why);
    ASSERT_FALSE(image.isNull()) << why.toStdString();
    EXPECT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.colorCount(), 256);
    EXPECT_FALSE(ProgramBundle().Icon(128).isNull());
    EXPECT_TRUE(ProgramBundle().Bitmap(4711).isNull());
}

TEST_F(BundleTest, UnloadingABundleTakesItsResourcesAway) {
    auto second = std::make_unique<ResourceBundle>(ProgramDir() + QStringLiteral("/lumidesk.rcc"));
    ASSERT_TRUE(second->IsLoaded());
    const QString root = second->Root();
    EXPECT_NE(root, ProgramBundle().Root());
    EXPECT_TRUE(QFile::exists(root + QStringLiteral("/strings.txt")));
    SetCurrentBundle(second.get());
    EXPECT_FALSE(LoadString(4098).isEmpty());
    second.reset();
    EXPECT_EQ(CurrentBundle(), nullptr);
    EXPECT_TRUE(LoadString(4098).isEmpty());
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/strings.txt")));
    // The other bundle is untouched.
    EXPECT_FALSE(ProgramBundle().String(4098).isEmpty());

    ResourceBundle missing(temp.Path().string().c_str() + QStringLiteral("/none.rcc"));
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Failure(), QStringLiteral("No such file or directory"));
    EXPECT_TRUE(missing.String(128).isEmpty());
    EXPECT_EQ(missing.LoadForm(100), nullptr);
}

// Every single byte of the sample tab bundle's names and tree changed in turn: a bundle whose
// structure no longer holds is refused before the resource system sees it, and what loads can be
// read whole.
TEST_F(BundleTest, ADamagedBundleIsRefusedBeforeItIsRegistered) {
    const std::string bundle = TempDir::Read(ProgramDir().toStdString() + "/demo100.rcc");
    ASSERT_GT(bundle.size(), 20u);
    const QString file = QString::fromStdString((temp.Path() / "damaged.rcc").string());
    int refused = 0;
    for (std::size_t at = BundleNamesOffset(bundle); at < bundle.size(); ++at) {
        std::string damaged = bundle;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        temp.Write("damaged.rcc", damaged);
        ResourceBundle loaded(file);
        if (!loaded.IsLoaded()) {
            ++refused;
            EXPECT_TRUE(loaded.Failure().startsWith(QStringLiteral("not a valid resource bundle")))
                << at;
            continue;
        }
        for (int form : {300, 301, 302}) {
            delete loaded.LoadForm(form);
        }
        loaded.String(2048);
        loaded.Bitmap(1);
    }
    EXPECT_GT(refused, 0);
}

TEST_F(BundleTest, DialogsBuiltFromFormsEndWithTheirButtons) {
    for (const auto& [button, expected] :
         {std::pair{1, QDialog::Accepted}, {2, QDialog::Rejected}}) {
        QDialog dialog;
        QWidget* form = BuildDialogFromForm(dialog, 130);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(dialog.windowTitle(), form->windowTitle());
        dialog.setResult(-1);
        FindControl<QAbstractButton>(form, button)->click();
        EXPECT_EQ(dialog.result(), expected);
    }
    QDialog empty;
    EXPECT_EQ(BuildDialogFromForm(empty, 4711), nullptr);
    EXPECT_EQ(empty.layout(), nullptr);
}

TEST_F(BundleTest, AboutBoxShowsTheIconAndClosesWithOk) {
    CAboutDialog about;
    auto* icon = about.findChild<QLabel*>(QStringLiteral("id1200"));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_FALSE(about.windowTitle().isEmpty());
    QTimer::singleShot(0, [&about]() { FindControl<QAbstractButton>(&about, 1)->click(); });
    EXPECT_EQ(about.DoModal(), QDialog::Accepted);
}

} // namespace
} // namespace tonedesk::test
