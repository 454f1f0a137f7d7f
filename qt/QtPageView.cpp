#include "qt/QtPageView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <utility>

#include "qt/QtControls.h"
#include "qt/QtLogView.h"
#include "qt/QtTabHost.h"
#include "qt/QtText.h"

namespace qt {

using framework::CControlChange;
using framework::CControlState;
using framework::EChange;
using framework::EControlKind;

CQtPageView::CQtPageView(framework::CPage& page, framework::CDispatcher& dispatcher,
                         const CDialogUnits& units, QWidget* pParent)
    : CQtPageView(std::make_unique<framework::CPageMailbox>(page), dispatcher, units, pParent) {}

CQtPageView::CQtPageView(std::unique_ptr<framework::CPageMailbox> pLink, framework::CDispatcher& dispatcher,
                         const CDialogUnits& units, QWidget* pParent)
    : QWidget(pParent), m_pLink(std::move(pLink)), m_dispatcher(dispatcher), m_units(units) {
    setFont(m_units.Font());
    Build();
    m_pLink->SetWake([this] {
        return QMetaObject::invokeMethod(this, [this] { ApplyPendingChanges(); },
                                         Qt::QueuedConnection);
    });
}

CQtPageView::~CQtPageView() {
    // No new posts; posted ones die with this object.
    m_pLink->SetWake(nullptr);
    // Child views go before their links' parent link does.
    for (auto& [pPage, pView] : m_children) delete pView.data();
}

void CQtPageView::Build() {
    const framework::CPageSnapshot& initial = m_pLink->Initial();
    m_bApplying = true;
    resize(m_units.DialogSize(Page().Template()));
    for (const CControlState& st : initial.m_controls) {
        CItem item;
        item.m_nId = st.m_nId;
        item.m_eKind = st.m_eKind;
        item.m_pWidget = CreateControlWidget(*st.m_pTemplate, m_units, this);
        m_items.push_back(item);
        if (st.m_nId != framework::IDC_STATIC) m_index.emplace(st.m_nId, m_items.size() - 1);
    }
    for (size_t n = 0; n < m_items.size(); ++n) {
        ApplyState(m_items[n], initial.m_controls[n]);
        Wire(m_items[n]);
    }
    // Frames lie under the controls they hold, whatever the template order.
    for (const CItem& item : m_items) {
        if (item.m_eKind == EControlKind::GroupBox) item.m_pWidget->lower();
    }
    move(initial.m_nX, initial.m_nY);
    setVisible(initial.m_bVisible);
    setWindowTitle(ToDisplayText(initial.m_strTitle, false));
    for (framework::CPage* pChild : initial.m_children) AddChild(pChild, pChild->HostId());
    if (const CItem* pFocus = FindItem(initial.m_nFocusId)) pFocus->m_pWidget->setFocus();
    m_bApplying = false;
}

void CQtPageView::AddChild(framework::CPage* pChild, int nHostId) {
    if (pChild == nullptr || m_children.count(pChild) != 0) return;
    QWidget* pHost = this;
    if (CItem* pItem = FindItem(nHostId)) pHost = pItem->m_pWidget;
    auto* pView = new CQtPageView(m_pLink->TakeChildMailbox(pChild), m_dispatcher, m_units, pHost);
    m_children[pChild] = pView;
    connect(pView, &CQtPageView::PageEnded, this, [pView] {
        // A child page that ended its run is hidden, as its window would be.
        pView->hide();
    });
}

QWidget* CQtPageView::ControlWidget(int nId) const {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : m_items[it->second].m_pWidget;
}

CQtPageView* CQtPageView::ChildView(const framework::CPage* pChild) const {
    const auto it = m_children.find(pChild);
    return it == m_children.end() ? nullptr : it->second.data();
}

CQtPageView::CItem* CQtPageView::FindItem(int nId) {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : &m_items[it->second];
}

void CQtPageView::ApplyState(CItem& item, const CControlState& st) {
    QWidget* pWidget = item.m_pWidget;
    item.m_nLimit = st.m_nLimit;
    if (item.m_eKind == EControlKind::DropList || item.m_eKind == EControlKind::TabControl) {
        item.m_nCurSel = st.m_nCurSel;
        SetItems(item, st.m_items);
    }
    SetText(item, st.m_strText, false);
    pWidget->setEnabled(st.m_bEnabled);
    pWidget->setVisible(st.m_bVisible);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        pEdit->setReadOnly(st.m_bReadOnly);
        pEdit->setEchoMode(st.m_bPassword ? QLineEdit::Password : QLineEdit::Normal);
        SetDigitsOnly(item, st.m_bDigitsOnly);
        SetLimit(item, st.m_nLimit);
    }
    if (auto* pCheck = qobject_cast<QCheckBox*>(pWidget)) {
        pCheck->setChecked(st.m_nCheck == framework::BST_CHECKED);
    }
}

void CQtPageView::ApplyPendingChanges() {
    std::deque<CControlChange> changes = m_pLink->TakeChanges();
    if (changes.empty()) return;
    m_bApplying = true;
    // Runs of appends to a log become one insertion.
    std::map<int, CLogBatch> logs;
    for (const CControlChange& change : changes) {
        const bool bLogChange = change.m_eWhat == EChange::LogAppend ||
                                change.m_eWhat == EChange::LogTrim ||
                                change.m_eWhat == EChange::ScrollToEnd;
        if (bLogChange) {
            CLogBatch& batch = logs[change.m_nId];
            if (change.m_eWhat == EChange::LogAppend) {
                // Trims only ever take lines from the start, so appending
                // everything and then trimming the sum gives the same lines.
                if (batch.m_bAppend) batch.m_strLines += '\n';
                batch.m_strLines += change.m_strText;
                batch.m_bAppend = true;
            } else if (change.m_eWhat == EChange::LogTrim) {
                batch.m_nTrim += static_cast<size_t>(std::max(0, change.m_nValue));
            }
            continue;
        }
        const auto it = logs.find(change.m_nId);
        if (it != logs.end()) FlushLog(change.m_nId, it->second);
        ApplyChange(change);
    }
    for (auto& [nId, batch] : logs) FlushLog(nId, batch);
    m_bApplying = false;
}

void CQtPageView::FlushLog(int nId, CLogBatch& batch) {
    CItem* pItem = FindItem(nId);
    if (pItem != nullptr && pItem->m_eKind == EControlKind::RichEditLog) {
        static_cast<CQtLogView*>(pItem->m_pWidget)
            ->AppendAndTrim(batch.m_strLines, batch.m_bAppend, batch.m_nTrim);
    }
    batch = CLogBatch();
}

void CQtPageView::ApplyChange(const CControlChange& change) {
    switch (change.m_eWhat) {
        case EChange::Title:
        case EChange::PageVisible:
        case EChange::PageMoved:
        case EChange::ChildCreated:
        case EChange::PageEnded:
        case EChange::PageDestroyed:
        case EChange::Focus:
            ApplyPageChange(change);
            return;
        default:
            break;
    }
    CItem* pItem = FindItem(change.m_nId);
    if (pItem == nullptr) return;
    CItem& item = *pItem;
    QWidget* pWidget = item.m_pWidget;
    auto* pEdit = qobject_cast<QLineEdit*>(pWidget);
    const bool bOn = change.m_nValue != 0;
    switch (change.m_eWhat) {
        case EChange::Text:
            SetText(item, change.m_strText, change.m_bByUser);
            break;
        case EChange::Enabled:
            pWidget->setEnabled(bOn);
            break;
        case EChange::Visible:
            pWidget->setVisible(bOn);
            break;
        case EChange::ReadOnly:
            if (pEdit != nullptr) pEdit->setReadOnly(bOn);
            break;
        case EChange::DigitsOnly:
            SetDigitsOnly(item, bOn);
            break;
        case EChange::Password:
            if (pEdit != nullptr) pEdit->setEchoMode(bOn ? QLineEdit::Password : QLineEdit::Normal);
            break;
        case EChange::Check:
            if (auto* pCheck = qobject_cast<QCheckBox*>(pWidget)) {
                pCheck->setChecked(change.m_nValue == framework::BST_CHECKED);
            }
            break;
        case EChange::CurSel:
            SetCurSel(item, change.m_nValue);
            break;
        case EChange::Items:
            SetItems(item, change.m_items);
            break;
        case EChange::LimitText:
            SetLimit(item, change.m_nValue);
            break;
        default:
            break;
    }
}

void CQtPageView::ApplyPageChange(const CControlChange& change) {
    switch (change.m_eWhat) {
        case EChange::Title: {
            const QString strTitle = ToDisplayText(change.m_strText, false);
            setWindowTitle(strTitle);
            emit TitleChanged(strTitle);
            break;
        }
        case EChange::PageVisible:
            setVisible(change.m_nValue != 0);
            break;
        case EChange::PageMoved:
            move(change.m_nValue, change.m_nValue2);
            break;
        case EChange::ChildCreated:
            AddChild(change.m_pChild, change.m_nId);
            break;
        case EChange::PageEnded:
            emit PageEnded(change.m_nValue);
            break;
        case EChange::PageDestroyed:
            hide();
            break;
        case EChange::Focus: {
            const CItem* pItem = FindItem(change.m_nId);
            if (pItem != nullptr && !pItem->m_pWidget->hasFocus()) pItem->m_pWidget->setFocus();
            break;
        }
        default:
            break;
    }
}

void CQtPageView::SetText(CItem& item, const std::string& strText, bool bByUser) {
    QWidget* pWidget = item.m_pWidget;
    switch (item.m_eKind) {
        case EControlKind::Static:
            static_cast<QLabel*>(pWidget)->setText(ToDisplayText(strText, true));
            break;
        case EControlKind::GroupBox:
            static_cast<CQtGroupFrame*>(pWidget)->SetTitle(ToDisplayText(strText, false));
            break;
        case EControlKind::Edit: {
            // The echo of a text the operator typed: a later keystroke is on
            // its way, so the widget is already ahead of it.
            if (bByUser && item.m_nPendingEdits > 0) break;
            auto* pEdit = static_cast<QLineEdit*>(pWidget);
            const QString str = ToEditText(strText);
            if (pEdit->text() == str) break;
            // A program may set a text longer than the typing limit.
            pEdit->setMaxLength(std::max(pEdit->maxLength(), static_cast<int>(str.size())));
            pEdit->setText(str);
            SetLimit(item, item.m_nLimit);
            break;
        }
        case EControlKind::RichEditLog:
            static_cast<CQtLogView*>(pWidget)->SetAll(strText);
            break;
        case EControlKind::PushButton:
        case EControlKind::DefPushButton:
        case EControlKind::CheckBox:
            static_cast<QAbstractButton*>(pWidget)->setText(ToDisplayText(strText, false));
            break;
        case EControlKind::DropList:
        case EControlKind::TabControl:
        case EControlKind::Icon:
            break;
    }
}

void CQtPageView::SetItems(CItem& item, const std::vector<std::string>& items) {
    if (item.m_eKind == EControlKind::DropList) {
        auto* pCombo = static_cast<QComboBox*>(item.m_pWidget);
        pCombo->clear();
        for (const std::string& str : items) pCombo->addItem(ToDisplayText(str, false));
        pCombo->setCurrentIndex(item.m_nCurSel < pCombo->count() ? item.m_nCurSel : -1);
    } else if (item.m_eKind == EControlKind::TabControl) {
        auto* pHost = static_cast<CQtTabHost*>(item.m_pWidget);
        QTabBar* pBar = pHost->TabBar();
        while (pBar->count() > 0) pBar->removeTab(pBar->count() - 1);
        for (const std::string& str : items) pBar->addTab(ToDisplayText(str, false));
        if (item.m_nCurSel >= 0 && item.m_nCurSel < pBar->count())
            pBar->setCurrentIndex(item.m_nCurSel);
        pHost->UpdateBarGeometry();
    }
}

void CQtPageView::SetCurSel(CItem& item, int nSel) {
    item.m_nCurSel = nSel;
    if (item.m_eKind == EControlKind::DropList) {
        auto* pCombo = static_cast<QComboBox*>(item.m_pWidget);
        pCombo->setCurrentIndex(nSel < pCombo->count() ? nSel : -1);
    } else if (item.m_eKind == EControlKind::TabControl) {
        QTabBar* pBar = static_cast<CQtTabHost*>(item.m_pWidget)->TabBar();
        if (nSel >= 0 && nSel < pBar->count()) pBar->setCurrentIndex(nSel);
    }
}

void CQtPageView::SetLimit(CItem& item, int nLimit) {
    item.m_nLimit = nLimit;
    auto* pEdit = qobject_cast<QLineEdit*>(item.m_pWidget);
    if (pEdit == nullptr) return;
    // Never below the text shown: a shorter limit would cut it, and the
    // limit only stops typing.
    const int nChars = nLimit > 0 ? nLimit : kDefaultEditLimit;
    pEdit->setMaxLength(std::max(nChars, static_cast<int>(pEdit->text().size())));
}

void CQtPageView::SetDigitsOnly(CItem& item, bool bDigitsOnly) {
    auto* pEdit = qobject_cast<QLineEdit*>(item.m_pWidget);
    if (pEdit == nullptr) return;
    if (!bDigitsOnly) {
        pEdit->setValidator(nullptr);
        return;
    }
    static const QRegularExpression kDigits(QStringLiteral("[0-9]*"));
    pEdit->setValidator(new QRegularExpressionValidator(kDigits, pEdit));
}

}  // namespace qt
