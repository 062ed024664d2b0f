// Streams a 200 KB reply in 5,000 deltas from the local replay server (on its
// own thread) into a visible assistant panel, reporting the longest stall of
// the event loop while it renders and the time to split and paint the whole
// final message afresh.
#include "ReplayServer.h"
#include "TestSupport.h"

#include "app/ui/QtDesktopServices.h"
#include "assistant/AssistantModel.h"
#include "assistant/ReplySegment.h"
#include "assistant/ui/AssistantPanel.h"
#include "assistant/ui/MessageRow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype replyBytes = 200'000;
constexpr int deltaCount = 5'000;
constexpr int deltasPerWrite = 10;
constexpr int writeIntervalMs = 2;

// About a kilobyte of what the assistant writes: prose with inline formatting,
// a fenced block of commands (one destructive), and a short list.
QString section(int n) {
    return u"**Step %1.** To find the accounts in an organizational unit, list them with `print users` and a "
           "`query`; GAM passes the query to the Directory API as it stands, so quote it as shown. See "
           "[the wiki](https://github.com/GAM-team/GAM/wiki) for the fields. *Large* scopes should be batched "
           "with `auto_batch_min` so the run does not take hours on a district with thousands of students.\n\n"
           "```bash\n"
           "gam print users query \"orgUnitPath='/Students/Grade %1'\" fields primaryemail,suspended\n"
           "gam user student%1@example.org print filelist\n"
           "gam user student%1@example.org delete messages query \"from:billing@suspicious.example\" doit\n"
           "```\n\n"
           "- Preview first: run the same command without `doit`.\n"
           "- Then check the log for errors before the real run.\n\n"_s.arg(n);
}

QString replyText() {
    QString text;
    for (int n = 1; text.size() < replyBytes; ++n)
        text += section(n);
    text.truncate(replyBytes);
    return text;
}

QByteArray jsonString(const QString &text) {
    QByteArray escaped;
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            escaped += '\\' + QByteArray(1, char(c.unicode()));
        else if (c == u'\n')
            escaped += "\\n";
        else
            escaped += QString(c).toUtf8();
    }
    return escaped;
}

QList<QByteArray> deltaEvents(const QString &text) {
    QList<QByteArray> events;
    const qsizetype size = text.size();
    for (int i = 0; i < deltaCount; ++i) {
        const qsizetype begin = size * i / deltaCount;
        const qsizetype end = size * (i + 1) / deltaCount;
        events.append(textDelta(0, jsonString(text.sliced(begin, end - begin))));
    }
    return events;
}

QCoro::Task<std::optional<QString>> benchKey() {
    co_return u"sk-ant-bench"_s;
}

qint64 threadCPUMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

const char *verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    IsolatedSettings settings;
    const QString text = replyText();
    const QList<QByteArray> events = deltaEvents(text);

    // The server writes from its own thread, so its work is not counted as the panel's.
    QThread serverThread;
    serverThread.start();
    QObject serverContext;
    serverContext.moveToThread(&serverThread);
    ReplayServer *server = nullptr;
    QMetaObject::invokeMethod(
        &serverContext,
        [&] {
            server = new ReplayServer;
            server->respond = [&events](QTcpSocket *socket) {
                socket->write(streamHead() + textStart(0));
                auto *pacer = new QTimer(socket);
                pacer->setTimerType(Qt::PreciseTimer);
                auto sent = std::make_shared<int>(0);
                QObject::connect(pacer, &QTimer::timeout, socket, [socket, pacer, sent, &events] {
                    QByteArray chunk;
                    for (int i = 0; i < deltasPerWrite && *sent < events.size(); ++i)
                        chunk += events.at((*sent)++);
                    socket->write(chunk);
                    if (*sent == events.size()) {
                        pacer->stop();
                        socket->write(stopReason("end_turn"));
                        socket->disconnectFromHost();
                    }
                });
                pacer->start(writeIntervalMs);
            };
        },
        Qt::BlockingQueuedConnection);

    QtDesktopServices desktop;
    AssistantModel model(&benchKey);
    QWidget window;
    window.resize(900, 760);
    auto *panel = new AssistantPanel(
        &model, &desktop, [](const QString &) {}, &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(panel);
    window.show();
    QCoreApplication::processEvents();

    // A fast timer stands for the user: the gap between its ticks is how long the loop was unavailable.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer probe;
    probe.setInterval(1);
    probe.setTimerType(Qt::PreciseTimer);
    // The main thread's own processor time between ticks: its work, whatever else the machine runs.
    qint64 longestWork = 0;
    qint64 cpuAtTick = threadCPUMicroseconds();
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        const qint64 cpu = threadCPUMicroseconds();
        const qint64 work = cpu - std::exchange(cpuAtTick, cpu);
        longestWork = std::max(longestWork, work);
        longestStall = std::max(longestStall, gap);
    });

    QElapsedTimer streaming;
    QObject::connect(&model, &AssistantModel::respondingChanged, &app, [&](bool responding) {
        if (!responding)
            QTimer::singleShot(100, &app, &QCoreApplication::quit);
    });
    streaming.start();
    sinceTick.start();
    probe.start();
    model.setInput(u"How do I clean up the students' mailboxes?"_s);
    model.send();
    app.exec();
    probe.stop();
    const qint64 streamMs = streaming.elapsed() - 100;
    const bool complete = model.messages().size() == 2 && model.messages().at(1).text == text;

    // The final message once more, as when the length-limit note is appended at the
    // end: split again from its last complete line, and painted.
    auto *scroll = panel->findChild<QScrollArea *>(u"conversation"_s);
    QList<MessageRow *> rows = scroll->widget()->findChildren<MessageRow *>();
    std::sort(rows.begin(), rows.end(), [](MessageRow *a, MessageRow *b) { return a->y() < b->y(); });
    MessageRow *reply = rows.last();
    QElapsedTimer finalUpdate;
    finalUpdate.start();
    reply->setText(text + u"\n\n(Reply cut off at the length limit.)"_s);
    scroll->widget()->layout()->activate();
    window.repaint();
    const qint64 finalMs = finalUpdate.elapsed();

    // For reference: the whole message split and rendered from nothing, as if its row were rebuilt.
    QElapsedTimer rebuilding;
    rebuilding.start();
    const QList<ReplySegment> segments = AssistantModel::segments(text);
    auto *rebuilt = new MessageRow(model.messages().at(1), scroll->widget());
    scroll->widget()->layout()->addWidget(rebuilt);
    scroll->widget()->layout()->activate();
    scroll->ensureWidgetVisible(rebuilt, 0, 0);
    window.repaint();
    const qint64 rebuildMs = rebuilding.elapsed();

    std::printf("assistant: %lld-character reply in %d deltas of ~%lld characters, streamed in %.1f s; "
                "reply complete: %s\n",
                static_cast<long long>(text.size()), deltaCount, static_cast<long long>(text.size() / deltaCount),
                double(streamMs) / 1000, complete ? "yes" : "no");
    std::printf("  longest event-loop stall while rendering: %lld ms (goal < 30 ms) %s\n",
                static_cast<long long>(longestStall), verdict(longestStall < 30));
    std::printf("  of which the main thread's own processor time at most: %.1f ms (the rest is the machine's "
                "other work)\n",
                double(longestWork) / 1000);
    std::printf("  final message re-split from its last line and repainted: %lld ms (goal < 100 ms) %s\n",
                static_cast<long long>(finalMs), verdict(finalMs < 100));
    std::printf("  for reference, the whole message (%lld segments) rebuilt from nothing: %lld ms\n",
                static_cast<long long>(segments.size()), static_cast<long long>(rebuildMs));

    QMetaObject::invokeMethod(
        &serverContext, [&] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return complete ? 0 : 1;
}
