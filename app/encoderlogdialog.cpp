#include "app/encoderlogdialog.h"

#include "app/skin.h"
#include "process/toollog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace clipvane {

EncoderLogDialog::EncoderLogDialog(const QString& inputPath, const QString& logPath,
                                   QWidget* parent)
    : QDialog(parent), m_view(new QPlainTextEdit(this)) {
    setWindowTitle(tr("Encoder Log  -  ") + QFileInfo(inputPath).fileName());
    m_view->setObjectName(QStringLiteral("logView"));
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The encoder rewrites its progress line with carriage returns: show each as a line.
    QString text = QString::fromUtf8(readFileTail(logPath, kMaxBytes));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_view->setPlainText(text.isEmpty() ? tr("The encoder wrote nothing to its log.") : text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addWidget(buttons);
    resize(820, 520);
    applySkin(this);
}

QString EncoderLogDialog::text() const {
    return m_view->toPlainText();
}

} // namespace clipvane
