// The sample models' tab forms as the program loads them: each form loads, each control of the
// model file is on its tab's form as the widget its kind needs, and the bitmaps and busy texts
// the pages use are in the bundle and readable.
#include "common/GuiTestKit.h"
#include "common/TestKit.h"

#include "model/ModelFile.h"
#include "support/ui/ResourceBundle.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <memory>

namespace tonedesk::test {
namespace {

struct SampleModel {
    const char* name;
    const char* folder; // of the model file
    const char* bundle;
};

bool HasWidgetOfKind(const QWidget* form, const ModelControl& control) {
    QWidget* widget = FindControl(form, control.id);
    switch (control.kind) {
    case ModelSection::Button:
    case ModelSection::StatusButton:
        return qobject_cast<QPushButton*>(widget);
    case ModelSection::Radio:
        return qobject_cast<QRadioButton*>(widget);
    case ModelSection::Check:
        return qobject_cast<QCheckBox*>(widget);
    case ModelSection::ComboBox:
        return qobject_cast<QComboBox*>(widget);
    case ModelSection::SliderBar:
        return qobject_cast<QSlider*>(widget);
    case ModelSection::Edit:
        return qobject_cast<QLineEdit*>(widget);
    case ModelSection::SpinButton:
        return qobject_cast<QAbstractSlider*>(widget);
    case ModelSection::Status:
        return qobject_cast<QLabel*>(widget);
    default:
        return false;
    }
}

class SampleFormsTest : public GuiTest, public testing::WithParamInterface<SampleModel> {};

TEST_P(SampleFormsTest, EveryControlIsOnItsFormWithItsBitmapsAndTexts) {
    RecordingNotifier notifier;
    CModelFile model(notifier, GetParam().folder);
    ASSERT_EQ(model.ReadModelFile(GetParam().name), 0);
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
