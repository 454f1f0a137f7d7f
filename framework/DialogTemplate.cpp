#include "framework/DialogTemplate.h"

namespace framework {

const CControlTemplate* CDialogTemplate::Find(int nControlId) const {
    if (nControlId == IDC_STATIC) return nullptr;
    for (const CControlTemplate& ctrl : controls) {
        if (ctrl.nId == nControlId) return &ctrl;
    }
    return nullptr;
}

int ClosedHeight(const CControlTemplate& ctrl) {
    if (ctrl.eKind == EControlKind::DropList && ctrl.cy > kDropListClosedHeight) {
        return kDropListClosedHeight;
    }
    return ctrl.cy;
}

}  // namespace framework
