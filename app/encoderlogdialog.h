#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace clipvane {

// A read-only window with the whole encoder log of one converted row.
class EncoderLogDialog : public QDialog {
    Q_OBJECT
public:
    EncoderLogDialog(const QString& inputPath, const QString& logPath, QWidget* parent = nullptr);
    QString text() const;

    // More than this of a log is shown from its end.
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

private:
    QPlainTextEdit* m_view;
};

} // namespace clipvane
