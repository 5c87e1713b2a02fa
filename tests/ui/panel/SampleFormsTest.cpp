// The sample models' tab forms as the program loads them: each form loads, each control of the
// model file is on its tab's form as the widget its kind needs, and the bitmaps and busy texts
// the pages use are in the bundle and readable.
#include "common/GuiTestKit.h"
#include "common/TestKit.h"

#include "model/ModelFile.h"
#include "model/ModelLint.h"
#include "ui/widgets/ResourceBundle.h"

#include <QComboBox>
#include <QLabel>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk::test {
namespace {

struct SampleModel {
    const char* name;
    const char* folder; // of the model file
    const char* bundle;
};

// The widget of the control is of a class its kind accepts (the classes lint accepts).
bool HasWidgetOfKind(const QWidget* form, const ModelControl& control) {
    const QWidget* widget = FindControl(form, control.id);
    const std::vector<std::string_view> classes = WidgetClassesFor(control.kind);
    return widget && std::any_of(classes.begin(), classes.end(), [&](std::string_view name) {
               return widget->inherits(std::string(name).c_str());
           });
}

class SampleFormsTest : public GuiTest, public testing::WithParamInterface<SampleModel> {};

TEST_P(SampleFormsTest, EveryControlIsOnItsFormWithItsBitmapsAndTexts) {
    RecordingNotifier notifier;
    CModelFile model(notifier, GetParam().folder);
    ASSERT_EQ(model.ReadModelFile(GetParam().name), ModelLookup::Found);
    ResourceBundle bundle(QString::fromUtf8(GetParam().bundle));
    ASSERT_TRUE(bundle.IsLoaded()) << GetParam().bundle;
    EXPECT_TRUE(bundle.HasString(2048) && bundle.HasString(2049));
    int bitmaps = 0;
    for (const ModelTab& tab : model.tabs) {
        SCOPED_TRACE("tab " + std::to_string(tab.id));
        std::unique_ptr<QWidget> form(bundle.LoadForm(tab.id));
        ASSERT_TRUE(form);
        EXPECT_FALSE(form->windowTitle().isEmpty()) << "the tab's caption";
        for (const ModelControl& control : tab.controls) {
            EXPECT_TRUE(HasWidgetOfKind(form.get(), control)) << "control " << control.id;
            if (control.kind == ModelSection::ComboBox) {
                EXPECT_EQ(static_cast<std::size_t>(
                              FindControl<QComboBox>(form.get(), control.id)->count()),
                          control.commandLists.at(0).size());
            }
        }
        for (const QLabel* label : form->findChildren<QLabel*>()) {
            const QVariant number = label->property("bitmap");
            if (number.isValid()) {
                ++bitmaps;
                const QPixmap bitmap = bundle.Bitmap(number.toInt());
                ASSERT_FALSE(bitmap.isNull()) << "bitmap " << number.toInt();
                EXPECT_LE(bitmap.width(), label->maximumWidth()) << "painted unscaled";
                EXPECT_LE(bitmap.height(), label->maximumHeight()) << "painted unscaled";
            }
        }
    }
    EXPECT_GT(bitmaps, 0);
}

INSTANTIATE_TEST_SUITE_P(Models, SampleFormsTest,
                         testing::Values(SampleModel{"DEMO-100", TONEDESK_PROGRAM_DIR,
                                                     TONEDESK_PROGRAM_DIR "/demo100.rcc"},
                                         SampleModel{"DEMO-200", DEMO200_FOLDER, DEMO200_BUNDLE}),
                         [](const testing::TestParamInfo<SampleModel>& param) {
                             return std::string(param.param.name) == "DEMO-100" ? "Demo100"
                                                                                : "Demo200";
                         });

} // namespace
} // namespace tonedesk::test
