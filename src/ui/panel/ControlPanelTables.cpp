#include "ui/panel/ControlPanelTables.h"

#include "model/ModelFile.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/ResourceBundle.h"

namespace tonedesk {

ControlPanelTables::ControlPanelTables() = default;
ControlPanelTables::~ControlPanelTables() = default;

void ControlPanelTables::Prepare(const CModelFile& model) {
    pages.assign(model.tabs.size(), nullptr);
    for (const ModelTab& tab : model.tabs) {
        if (tab.resourceFile.empty() || index_.Find(tab.resourceFile)) {
            continue;
        }
        auto bundle = std::make_unique<ResourceBundle>(
            QString::fromLocal8Bit(model.PathBeside(tab.resourceFile)));
        if (bundle->IsLoaded()) {
            AddBundle(tab.resourceFile, std::move(bundle));
        } else {
            index_.FindOrAdd(tab.resourceFile); // looked for once: the tab uses the current bundle
        }
    }
}

void ControlPanelTables::AddBundle(const std::string& file,
                                   std::unique_ptr<ResourceBundle> bundle) {
    NameEntry& entry = index_.FindOrAdd(file);
    if (entry.value > 0) {
        bundles_[static_cast<std::size_t>(entry.value - 1)] = std::move(bundle);
        return;
    }
    bundles_.push_back(std::move(bundle));
    entry.value = static_cast<std::int32_t>(bundles_.size());
}

const ResourceBundle* ControlPanelTables::Bundle(const std::string& file) {
    const NameEntry& entry = index_.FindOrAdd(file);
    return entry.value > 0 ? bundles_[static_cast<std::size_t>(entry.value - 1)].get() : nullptr;
}

void ControlPanelTables::Clear() {
    pages.clear();
    index_.Clear();
    bundles_.clear();
}

} // namespace tonedesk
