#include "app/unAppMainForm.h"

#include "app/unGlobal.h"
#include "app/unRightSubForm.h"
#include "app/unSettings.h"
#include "ui/diEditArea.h"
#include "ui/diEditForm.h"
#include "ui/diSheetForm.h"
#include "ui/baSaper.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QSplitter>

#include <cmath>
#include <cstdio>

namespace {
// With this variable set, the program writes kFirstPaintLine on its output
// when the sheet first paints a document: how long start-up takes is
// measured up to that moment.
constexpr char kFirstPaintProbe[] = "QUILLANE_FIRST_PAINT_PROBE";
constexpr char kFirstPaintLine[] = "first-paint\n";

class TFirstPaintProbe : public QObject {
public:
    TFirstPaintProbe(TAppMainForm& form, QObject& watched) : QObject(&form), m_form(form) {
        watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_form.ActiveSchemeDocument()) {
            std::fputs(kFirstPaintLine, stdout);
            std::fflush(stdout);
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    TAppMainForm& m_form;
};
}  // namespace

TAppMainForm::~TAppMainForm() {
    // The thread stops before the documents it reads go.
    if (m_preview) m_preview->SetScheme(nullptr, nullptr);
}

void TAppMainForm::FormCreate() {
    TMainForm::FormCreate();
    TEditForm* editForm = EditForm();
    if (!editForm) return;  // batch mode
    // The editing area and the preview share the edit form, split side by side.
    m_splitter = new QSplitter(Qt::Horizontal, editForm);
    m_splitter->setHandleWidth(kSplitterWidth);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->installEventFilter(this);
    TEditArea& area = editForm->EditArea();
    delete editForm->layout()->replaceWidget(&area, m_splitter);
    m_splitter->addWidget(&area);
    area.installEventFilter(this);
    m_preview = new TRightSubForm(Global().Settings().Sheet(), m_splitter);
    m_splitter->addWidget(m_preview);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    QObject::connect(m_splitter, &QSplitter::splitterMoved, this, [this] { SplitterMoved(); });
    m_ratio = kDefaultRatio;
    ApplyPreviewWidth();
    if (qEnvironmentVariableIsSet(kFirstPaintProbe))
        new TFirstPaintProbe(*this, *editForm->SheetForm().RangeBox().viewport());
    TAppMainForm::ActiveDocumentChanged();
}

void TAppMainForm::ApplyPreviewWidth() {
    if (!m_splitter) return;
    const int total = m_splitter->width() - m_splitter->handleWidth();
    const int preview = int(std::lround((1.0 - m_ratio) * width()));
    // The editing area keeps what its palette row needs; the preview gives way.
    const int areaMinimum = m_splitter->widget(0)->minimumSizeHint().width();
    const int clamped = std::clamp(preview, 0, std::max(0, total - areaMinimum));
    m_splitter->setSizes({total - clamped, clamped});
}

void TAppMainForm::SplitterMoved() {
    if (width() > 0) m_ratio = 1.0 - double(m_preview->width()) / double(width());
}

void TAppMainForm::ActiveDocumentChanged() {
    TMainForm::ActiveDocumentChanged();
    if (!m_preview) return;
    TSchemeDocument* document = ActiveSchemeDocument();
    m_preview->SetScheme(document ? document->Scheme() : nullptr, document ? document->MainSheet() : nullptr);
}

bool TAppMainForm::eventFilter(QObject* watched, QEvent* event) {
    // The splitter resized, or the editing area's minimum changed (its palette filled its row).
    if ((watched == m_splitter && event->type() == QEvent::Resize) ||
        (m_splitter && watched == m_splitter->widget(0) && event->type() == QEvent::LayoutRequest))
        ApplyPreviewWidth();
    return TMainForm::eventFilter(watched, event);
}

bool RunsHeadless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

std::unique_ptr<TAppMainForm> StartMainWindow(TGlobal& global) {
    std::unique_ptr<TAppMainForm> form = TMainForm::Create<TAppMainForm>(global, RunsHeadless());
    if (!form->BatchEnded()) form->show();
    return form;
}

int RunMainWindow(TAppMainForm& form) {
    if (form.BatchEnded()) return form.BatchFailed() ? 1 : 0;
    return QApplication::exec();
}
