#include "framework/DialogTemplate.h"

namespace framework {

const CControlTemplate* CDialogTemplate::Find(int nControlId) const {
    if (nControlId == IDC_STATIC) return nullptr;
    for (const CControlTemplate& ctrl : m_controls) {
        if (ctrl.m_nId == nControlId) return &ctrl;
    }
    return nullptr;
}

int ClosedHeight(const CControlTemplate& ctrl) {
    if (ctrl.m_eKind == EControlKind::DropList && ctrl.m_cy > kDropListClosedHeight) {
        return kDropListClosedHeight;
    }
    return ctrl.m_cy;
}

}  // namespace framework
