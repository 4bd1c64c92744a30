#include "app/sfSettingsForm.h"

#include "app/cuWebSupport.h"
#include "app/sfSettingsPages.h"
#include "app/unGlobal.h"
#include "app/unSettings.h"
#include "core/cuLocalization.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plMessages.h"
#include "scheme/diCanvas.h"
#include "ui/baAppWidgets.h"
#include "ui/baPropAssoc.h"
#include "ui/baStyledPainter.h"
#include "ui/baTreeViewEx.h"
#include "ui/baUserButtons.h"

#include <QApplication>
#include <QHeaderView>
#include <QShowEvent>
#include <QTreeWidgetItem>

namespace {

// The owner keeps the index of the page selected when the dialog last closed.
constexpr char kSelectedPageProperty[] = "quillaneSettingsPage";
constexpr int kMargin = 8;
constexpr QRect kTreeRect{kMargin, kMargin, 201, 417};
constexpr QRect kPageRect{216, kMargin, 513, 425};
constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;
constexpr int kButtonTop = TSettingsForm::kClientHeight - kMargin - kButtonHeight;

// The nodes of the tree in the order they are shown (parents before their children).
QList<QTreeWidgetItem*> NodesInOrder(QTreeWidget& tree) {
    QList<QTreeWidgetItem*> nodes;
    QTreeWidgetItemIterator it(&tree);
    for (; *it; ++it) nodes.append(*it);
    return nodes;
}

}  // namespace

TSettingsForm::TSettingsForm(QWidget* owner, const TSettingsDialogSetup& setup, int selectedIndex)
    : QDialog(owner), m_setup(setup), m_associator(std::make_unique<TPropertyAssociator>()) {
    setFont(QApplication::font());
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(LoadStr(strSettings));
    setObjectName(QStringLiteral("SettingsForm"));
    if (setup.Session) (new TFormPlace(*this))->SetSessionFile(setup.Session);
    CreateControls();
    CreatePages();
    TSettingsPage* start = setup.StartPage.isEmpty() ? nullptr : FindPage(setup.StartPage);
    SelectPage(start ? int(std::find(m_pages.begin(), m_pages.end(), start) - m_pages.begin()) : selectedIndex);
}

TSettingsForm::~TSettingsForm() = default;

void TSettingsForm::CreateControls() {
    m_tree = new TTreeViewEx(this);
    m_tree->setGeometry(kTreeRect);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setAllColumnsShowFocus(true);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { tv1Change(); });

    m_pageArea = new QWidget(this);
    m_pageArea->setGeometry(kPageRect);

    const auto makeButton = [this](int index, int captionId) {
        auto* button = new TUserWinButton(this);
        button->setGeometry(kClientWidth - kMargin - (3 - index) * kButtonWidth - (2 - index) * kButtonGap,
                            kButtonTop, kButtonWidth, kButtonHeight);
        button->SetPainter(DefaultButtonPainter());
        button->SetCaption(LoadStr(captionId));
        return button;
    };
    m_ok = makeButton(0, strOK);
    m_ok->SetDefault(true);
    m_ok->OnClick = [this](QWidget&) { ubOKClick(); };
    m_cancel = makeButton(1, strCancel);
    m_cancel->SetCancel(true);
    m_cancel->SetModalResult(mrCancel);
    m_apply = makeButton(2, strApply);
    m_apply->OnClick = [this](QWidget&) { ubApplyClick(); };
}

void TSettingsForm::CreatePages() {
    TSettings* settings = m_setup.Settings;
    TSettingsPageContext context{settings, m_associator.get(),
                                 m_setup.ThemesFolder.isEmpty() ? GetThemesFolder() : m_setup.ThemesFolder,
                                 [settings] {
                                     ShowResourcePage(settings->General()->Language()->Value(),
                                                      QString::fromLatin1(WebPage::Themes));
                                 }};
    AddPage(new TGeneralSubForm(this, context), nullptr);
    AddPage(new TPaletteSubForm(this, context), nullptr);
    auto* editor = new TEditorSubForm(this, context);
    AddPage(editor, nullptr);
    QTreeWidgetItem* editorNode = m_tree->topLevelItem(m_tree->topLevelItemCount() - 1);
    AddPage(new TNamingSubForm(this, context), editorNode);
    AddPage(new TLogSubForm(this, context), nullptr);
    AddPage(new TSoundsSubForm(this, context), nullptr);
    AddPage(new TPrintSubForm(this, context), nullptr);
    AddPage(new TMiscSubForm(this, context), nullptr);
    editorNode->setExpanded(true);
    // The pages follow the tree in the tab order, before the buttons.
    QWidget* previous = m_tree;
    for (TSettingsPage* page : m_pages) {
        setTabOrder(previous, page);
        previous = page;
    }
    setTabOrder(previous, m_ok);
}

void TSettingsForm::AddPage(TSettingsPage* page, QTreeWidgetItem* parentNode) {
    page->setGeometry(kPageRect);
    page->hide();
    auto* node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(m_tree);
    node->setText(0, page->Caption());
    node->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(page)));
    m_pages.push_back(page);
}

TSettingsPage* TSettingsForm::FindPage(const QString& section) const {
    for (TSettingsPage* page : m_pages)
        if (page->objectName().compare(section, Qt::CaseInsensitive) == 0) return page;
    return nullptr;
}

int TSettingsForm::SelectedIndex() const {
    return std::max<int>(0, int(NodesInOrder(*m_tree).indexOf(m_tree->currentItem())));
}

void TSettingsForm::SelectPage(int index) {
    const QList<QTreeWidgetItem*> nodes = NodesInOrder(*m_tree);
    if (nodes.isEmpty()) return;
    m_tree->setCurrentItem(nodes.value(index, nodes.front()));
}

void TSettingsForm::tv1Change() {
    QTreeWidgetItem* node = m_tree->currentItem();
    auto* page = node ? static_cast<TSettingsPage*>(node->data(0, Qt::UserRole).value<void*>()) : nullptr;
    if (page == m_shownPage) return;
    if (m_shownPage) m_shownPage->hide();
    m_shownPage = page;
    if (m_shownPage) m_shownPage->show();
}

void TSettingsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_setup.StartPage.isEmpty() || !m_shownPage) return;
    if (QWidget* first = m_shownPage->FirstControl()) first->setFocus();
}

void TSettingsForm::ApplySettings(TApplyAction action) {
    TStringProperty* language = m_setup.Settings->General()->Language();
    const QString oldLanguage = language->Value();
    {
        TWaitScope wait;
        m_associator->Apply();
        if (m_setup.OnApply) m_setup.OnApply(*this);
    }
    if (action == TApplyAction::Apply && language->Value() != oldLanguage) PostMessage(this, kReopenMessage);
}

void TSettingsForm::ubApplyClick() { ApplySettings(TApplyAction::Apply); }

void TSettingsForm::ubOKClick() {
    ApplySettings(TApplyAction::Ok);
    done(QDialog::Accepted);
}

bool TSettingsForm::event(QEvent* event) {
    if (AsPostedMessage(event, kReopenMessage)) {
        m_reopen = true;
        done(QDialog::Accepted);
        return true;
    }
    return QDialog::event(event);
}

void ShowSettingsDialog(QWidget* owner, TSettingsDialogSetup setup) {
    if (!setup.Settings) return;
    int selected = owner ? owner->property(kSelectedPageProperty).toInt() : 0;
    for (bool reopen = true; reopen;) {
        TSettingsForm form(owner, setup, selected);
        if (setup.RunModal) setup.RunModal(form);
        else form.exec();
        selected = form.SelectedIndex();
        reopen = form.ReopenRequested();
        if (reopen) {
            selected = 0;
            setup.StartPage.clear();
        }
    }
    if (owner) owner->setProperty(kSelectedPageProperty, selected);
}

void ShowSettings(QWidget* owner, const QString& startPage) {
    if (!Global()) return;
    TSettingsDialogSetup setup;
    setup.Settings = &Global()->Settings();
    setup.StartPage = startPage;
    setup.Session = &Global()->SessionFile();
    ShowSettingsDialog(owner, std::move(setup));
}
