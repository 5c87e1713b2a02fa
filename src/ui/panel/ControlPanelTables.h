#pragma once

#include "support/NameTable.h"

#include <QPointer>

#include <memory>
#include <string>
#include <vector>

namespace tonedesk {

class CModelFile;
class CTabPage;
class ResourceBundle;

// What the control panel loads, kept by the window that owns the panel: one page slot per tab,
// and the bundle of every tab's RESOURCEFILE (by name, without regard to case). The pages
// belong to the sheet's widgets (a slot turns null when its page is deleted); the bundles live
// until Clear or the tables' end.
class ControlPanelTables {
public:
    ControlPanelTables();
    ~ControlPanelTables();
    ControlPanelTables(const ControlPanelTables&) = delete;
    ControlPanelTables& operator=(const ControlPanelTables&) = delete;

    // One empty page slot per tab, and every tab's bundle loaded from the model's folder (a
    // bundle that cannot be loaded is entered without one).
    void Prepare(const CModelFile& model);
    // Enters a bundle under a file name, in place of one loaded before.
    void AddBundle(const std::string& file, std::unique_ptr<ResourceBundle> bundle);
    // The bundle entered under the file name; null when none could be loaded (the entry is
    // made then, empty).
    const ResourceBundle* Bundle(const std::string& file);
    // Forgets the slots and frees every bundle.
    void Clear();

    std::vector<QPointer<CTabPage>> pages;

private:
    NameTable index_; // file name -> 1-based position in bundles_, 0 none
    std::vector<std::unique_ptr<ResourceBundle>> bundles_;
};

} // namespace tonedesk
