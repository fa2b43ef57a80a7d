#pragma once

#include <QByteArray>
#include <QDialog>

#include <functional>

class QBuffer;
class QPdfDocument;
class QPdfView;

namespace veq {

// The sheet over the report screen that shows the PDF just produced, page after page at the
// sheet's width: "Enregistrer…" hands the very bytes shown to `save`; "Fermer" closes it.
class ReportPreview : public QDialog {
public:
    using Save = std::function<void(const QByteArray&)>;

    ReportPreview(QByteArray pdf, Save save, QWidget* parent = nullptr);
    ~ReportPreview() override;

    const QByteArray& pdf() const { return pdf_; }
    QPdfDocument& document() const { return *document_; }
    QPdfView& view() const { return *view_; }

private:
    QByteArray pdf_;
    Save save_;
    QBuffer* buffer_;
    QPdfDocument* document_;
    QPdfView* view_;
};

} // namespace veq
