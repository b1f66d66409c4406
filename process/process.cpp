#include "process/process.h"

#include "base/textvalues.h"
#include "process/commandline.h"

#include <QEventLoop>

namespace clipvane {

Process::Process(QObject* parent) : QObject(parent) {}

Process::~Process() {
    // Ending a runner ends its child; nobody listens for Finished any more.
    blockSignals(true);
    Abort(0);
}

QString Process::ElapsedTime() const {
    if (!m_startTime.isValid())
        return timeText(0);
    return timeText(m_startTime.secsTo(QDateTime::currentDateTime()));
}

qint64 Process::processId() const {
    return m_child ? m_child->processId() : 0;
}

void Process::readAvailable() {
    if (!m_child || !m_decoder)
        return;
    const QByteArray bytes = m_child->readAll();
    if (bytes.isEmpty())
        return;
    const QString piece = m_decoder->decode(bytes);
    if (piece.isEmpty())
        return;
    emit StdOutChanged(piece);
    m_stdOut += piece;
}

void Process::Read() {
    readAvailable();
    IsActive();
}

bool Process::IsActive() {
    if (!m_child)
        return false;
    if (m_child->state() != QProcess::NotRunning)
        return true;
    Abort(0);
    return false;
}

void Process::Abort(int vnRC) {
    if (m_child) {
        bool killed = false;
        if (m_child->state() != QProcess::NotRunning) {
            m_child->kill();
            m_child->waitForFinished(2000);
            killed = true;
        }
        if (vnRC != 0)
            m_rc = vnRC;
        else if (!killed && m_child->exitStatus() == QProcess::NormalExit)
            m_rc = m_child->exitCode();
        else
            m_rc = 0;
        readAvailable();
        m_child->disconnect(this);
        m_child.reset();
        m_decoder.reset();
    }
    emit Finished();
}

void Process::Launch() {
    if (m_child)
        Abort(0);
    m_rc = 0;
    m_stdOut.clear();
    m_startTime = QDateTime::currentDateTime();

    QStringList args = splitCommandLine(m_cmdLine + QLatin1Char(' ') + m_parameters);
    if (args.isEmpty())
        return;
    const QString program = args.takeFirst();

    auto child = std::make_unique<QProcess>();
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->setProgram(program);
    child->setArguments(args);
    child->setStandardInputFile(QProcess::nullDevice());
    child->start(QIODevice::ReadOnly);
    if (!child->waitForStarted(5000))
        return; // a tool that cannot be started: no output, RC 0

    m_child = std::move(child);
    m_decoder = std::make_unique<QStringDecoder>(QStringDecoder::Utf8);
    connect(m_child.get(), &QProcess::readyRead, this, &Process::readAvailable);

    if (m_async)
        return;

    QEventLoop loop;
    QPointer<QProcess> watched = m_child.get();
    connect(watched, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(this, &Process::Finished, &loop, &QEventLoop::quit);
    if (watched->state() != QProcess::NotRunning)
        loop.exec();
    if (m_child)
        Abort(0);
}

std::unique_ptr<Process> NewProcess(const QString& commandLine) {
    auto p = std::make_unique<Process>();
    p->setCmdLine(commandLine);
    return p;
}

} // namespace clipvane
