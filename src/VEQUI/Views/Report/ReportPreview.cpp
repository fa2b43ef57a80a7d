#include "VEQUI/Views/Report/ReportPreview.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QBuffer>
#include <QHBoxLayout>
#include <QPdfDocument>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QVBoxLayout>

#include <algorithm>

namespace veq {

namespace {

constexpr int widest = 860;
constexpr int sideRoom = 80;
constexpr int verticalRoom = 60;

} // namespace

ReportPreview::ReportPreview(QByteArray pdf, Save save, QWidget* parent)
    : QDialog(parent), pdf_(std::move(pdf)), save_(std::move(save)), buffer_(new QBuffer(this)),
      document_(new QPdfDocument(this)), view_(new QPdfView) {
    setObjectName(QStringLiteral("reportPreview"));
    setWindowTitle(QStringLiteral("Aperçu du rapport PDF"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, VEQ::surface1());
    setPalette(palette);
    setAutoFillBackground(true);

    buffer_->setData(pdf_);
    buffer_->open(QIODevice::ReadOnly);
    document_->load(buffer_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(12);
    auto* bar = new QHBoxLayout;
    bar->addWidget(makeLabel(QStringLiteral("Aperçu du rapport PDF"), VEQ::label(14, QFont::DemiBold),
                             VEQ::textPrimary(), QStringLiteral("previewTitle")));
    bar->addStretch(1);
    auto* close = new PlainButton(QStringLiteral("Fermer"), {}, VEQ::label(12, QFont::Medium), VEQ::textSecondary());
    close->setObjectName(QStringLiteral("closePreviewButton"));
    auto* saveButton = new ProminentButton(QStringLiteral("Enregistrer…"), "arrow.down.doc.fill",
                                           VEQ::label(12, QFont::DemiBold), VEQ::accent());
    saveButton->setObjectName(QStringLiteral("savePdfButton"));
    bar->addWidget(close);
    bar->addWidget(saveButton);
    column->addLayout(bar);

    view_->setObjectName(QStringLiteral("pdfView"));
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view_->setPageSpacing(12);
    view_->setDocumentMargins(QMargins(12, 12, 12, 12));
    view_->setDocument(document_);
    column->addWidget(view_, 1);

    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(saveButton, &QAbstractButton::clicked, this, [this] {
        if (save_) save_(pdf_);
    });
    if (parent) {
        const QSize room = parent->window()->size();
        resize(std::min(widest, room.width() - sideRoom), room.height() - verticalRoom);
    } else {
        resize(widest, 740);
    }
}

ReportPreview::~ReportPreview() {
    // The view renders pages on a thread of its own: it goes before the document it reads. Its
    // renderer deletes that thread only when turned single-threaded (Qt 6.4 leaks it otherwise).
    if (auto* renderer = view_->findChild<QPdfPageRenderer*>()) {
        renderer->setRenderMode(QPdfPageRenderer::RenderMode::SingleThreaded);
    }
    delete view_;
}

} // namespace veq
