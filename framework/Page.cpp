#include "framework/Page.h"

#include <utility>

#include "framework/PageControl.h"

namespace framework {
namespace {

const CDialogTemplate& TemplateOrEmpty(const CDialogTemplate* pTemplate) {
    static const CDialogTemplate kEmpty;
    return pTemplate != nullptr ? *pTemplate : kEmpty;
}

}  // namespace

CPage::CPage(const CDialogTemplate* pTemplate)
    : m_pTemplate(&TemplateOrEmpty(pTemplate)),
      m_bHasTemplate(pTemplate != nullptr),
      m_changes(*this) {
    BuildControls();
}

CPage::CPage(const CDialogTemplate& tmpl)
    : m_pTemplate(&tmpl), m_bHasTemplate(true), m_changes(*this) {
    BuildControls();
}

CPage::~CPage() {
    m_changes.RemoveAllViews();
}

void CPage::BuildControls() {
    m_strTitle = m_pTemplate->m_strCaption;
    for (const CControlTemplate& tmpl : m_pTemplate->m_controls) {
        auto pCtrl = std::make_unique<CControl>();
        pCtrl->m_pTemplate = &tmpl;
        CControlState& st = pCtrl->m_state;
        st.m_pTemplate = &tmpl;
        st.m_nId = tmpl.m_nId;
        st.m_eKind = tmpl.m_eKind;
        st.m_bEnabled = (tmpl.m_nStyle & style::Disabled) == 0;
        st.m_bVisible = (tmpl.m_nStyle & style::Visible) != 0;
        st.m_bReadOnly = (tmpl.m_nStyle & style::ReadOnly) != 0;
        st.m_bDigitsOnly = (tmpl.m_nStyle & style::Number) != 0;
        st.m_bPassword = (tmpl.m_nStyle & style::Password) != 0;
        st.m_items = tmpl.m_items;
        if (tmpl.m_eKind == EControlKind::RichEditLog) {
            pCtrl->m_pLog = std::make_unique<CLogBuffer>(kLogMaxLines, kLogMaxBytes);
            pCtrl->m_pLog->Assign(tmpl.m_strText);
        } else {
            st.m_strText = tmpl.m_strText;
        }
        if (tmpl.m_nId != IDC_STATIC) m_index.emplace(tmpl.m_nId, m_controls.size());
        m_controls.push_back(std::move(pCtrl));
    }
}

bool CPage::Create(IMessageSink& messages, CPage* pParent, int nHostId) {
    if (!m_bHasTemplate || m_bCreated.exchange(true)) return false;
    m_pMessages.store(&messages);
    m_pParent = pParent;
    m_nHostId = nHostId;
    OnInitDialog();
    if (pParent != nullptr) {
        {
            std::lock_guard<std::mutex> lock(pParent->m_mutex);
            pParent->m_children.push_back(this);
            CControlChange change;
            change.m_eWhat = EChange::ChildCreated;
            change.m_nId = nHostId;
            change.m_pChild = this;
            pParent->Publish(std::move(change));
        }
        pParent->m_changes.Deliver();
    }
    return true;
}

void CPage::DestroyWindow() {
    if (!m_bCreated.load()) return;
    OnDestroy();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Publish(EChange::PageDestroyed, 0);
    }
    m_changes.Deliver();
}

// ---- Page-wide state ----

void CPage::ShowWindow(bool bShow) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bVisible == bShow) return;
        m_bVisible = bShow;
        Publish(EChange::PageVisible, 0, std::string(), bShow ? 1 : 0);
    }
    m_changes.Deliver();
}

bool CPage::IsWindowVisible() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bVisible;
}

void CPage::MoveWindow(int nX, int nY) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nX = nX;
        m_nY = nY;
        CControlChange change;
        change.m_eWhat = EChange::PageMoved;
        change.m_nValue = nX;
        change.m_nValue2 = nY;
        Publish(std::move(change));
    }
    m_changes.Deliver();
}

void CPage::SetWindowText(std::string strTitle) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_strTitle == strTitle) return;
        m_strTitle = strTitle;
        Publish(EChange::Title, 0, std::move(strTitle));
    }
    m_changes.Deliver();
}

std::string CPage::GetWindowText() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strTitle;
}

void CPage::EndDialog(int nResult) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
        m_nResult = nResult;
        Publish(EChange::PageEnded, 0, std::string(), nResult);
    }
    m_changes.Deliver();
}

bool CPage::IsEnded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bEnded;
}

int CPage::ModalResult() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nResult;
}

// ---- Data exchange and message boxes ----

bool CPage::UpdateData(bool bSaveAndValidate) {
    CMessage failMessage;
    int nFailedId = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_fieldMutex);
        CDataExchange dx(*this, bSaveAndValidate);
        DoDataExchange(dx);
        if (!dx.Failed()) return true;
        failMessage = dx.FailMessage();
        nFailedId = dx.FailedId();
    }
    // Shown once the fields are free again: a box that waits for the
    // operator must not hold up other threads' transfers.
    IMessageSink* pSink = m_pMessages.load();
    if (pSink != nullptr) pSink->ShowMessage(failMessage);
    SetFocusItem(nFailedId);
    return false;
}

std::unique_lock<std::recursive_mutex> CPage::LockFields() const {
    return std::unique_lock<std::recursive_mutex>(m_fieldMutex);
}

int CPage::MessageBox(const std::string& strText, const std::string& strCaption, EIcon eIcon,
                      EButtons eButtons) const {
    IMessageSink* pSink = m_pMessages.load();
    if (pSink == nullptr) return eButtons == EButtons::YesNo ? IDNO : IDOK;
    return pSink->ShowMessage(CMessage{strText, strCaption, eIcon, eButtons});
}

void CPage::DoDataExchange(CDataExchange&) {}

bool CPage::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CPage::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CPage::OnCancel() {
    EndDialog(IDCANCEL);
}

void CPage::OnClose() {
    CPage::OnOK();
}

// ---- Handlers ----

void CPage::MapNotify(int nId, ENotify eCode, std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[{nId, eCode}] = std::move(fn);
}

void CPage::Fire(int nId, ENotify eCode) {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_handlers.find({nId, eCode});
        if (it == m_handlers.end()) return;
        fn = it->second;
    }
    if (fn) fn();
}

// ---- Views ----

CPageSnapshot CPage::SnapshotLocked() const {
    CPageSnapshot snapshot;
    snapshot.m_nSeq = m_nSeq;
    snapshot.m_strTitle = m_strTitle;
    snapshot.m_bVisible = m_bVisible;
    snapshot.m_nX = m_nX;
    snapshot.m_nY = m_nY;
    snapshot.m_nFocusId = m_nFocusId;
    snapshot.m_bEnded = m_bEnded;
    snapshot.m_children = m_children;
    snapshot.m_controls.reserve(m_controls.size());
    for (const auto& pCtrl : m_controls) snapshot.m_controls.push_back(StateOf(*pCtrl));
    return snapshot;
}

CPageSnapshot CPage::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return SnapshotLocked();
}

CPageSnapshot CPage::AttachView(IPageView& view) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CPageSnapshot snapshot = SnapshotLocked();
    m_changes.AddView(view, snapshot.m_nSeq);
    return snapshot;
}

void CPage::DetachView(IPageView& view) {
    m_changes.RemoveView(view);
}

// ---- Internals ----

CPage::CControl* CPage::Find(int nId) {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : m_controls[it->second].get();
}

const CPage::CControl* CPage::Find(int nId) const {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : m_controls[it->second].get();
}

bool CPage::Modify(int nId, const std::function<void(CControl&)>& fn) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CControl* pCtrl = Find(nId);
        if (pCtrl == nullptr) {
            NoteUnknown();
            return false;
        }
        fn(*pCtrl);
    }
    m_changes.Deliver();
    return true;
}

void CPage::Publish(EChange eWhat, int nId, std::string strText, int nValue, bool bByUser) {
    CControlChange change;
    change.m_eWhat = eWhat;
    change.m_nId = nId;
    change.m_strText = std::move(strText);
    change.m_nValue = nValue;
    change.m_bByUser = bByUser;
    Publish(std::move(change));
}

void CPage::Publish(CControlChange&& change) {
    change.m_nSeq = ++m_nSeq;
    m_changes.Push(std::move(change));
}

CControlState CPage::StateOf(const CControl& ctrl) const {
    CControlState st = ctrl.m_state;
    if (ctrl.IsLog()) st.m_strText = ctrl.m_pLog->Text();
    return st;
}

}  // namespace framework
