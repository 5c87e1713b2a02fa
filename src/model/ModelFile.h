#pragma once

#include "link/StatusTable.h"

namespace tonedesk {

// The parsed model file of the connected projector.
class CModelFile {
public:
    StatusTable statusTable;
};

} // namespace tonedesk
