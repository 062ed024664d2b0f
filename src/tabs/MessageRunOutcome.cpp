#include "tabs/MessageRunOutcome.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr int noEntitiesFound = 60;
constexpr int actionNotPerformed = 51;

// Only "User: ..." action lines count: the "Getting all Messages that match
// query (...)" progress lines repeat the user's query, which may hold any text.
const QRegularExpression &failureLine() {
    static const QRegularExpression re(u"^\\s*User:\\s.*\\bFailed:"_s);
    return re;
}

const QRegularExpression &deleteHeaderLine() {
    static const QRegularExpression re(u"^\\s*User:\\s[^,]*,\\s*Delete\\s+(\\d+)\\s+Messages?\\b"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &deletedMessageLine() {
    static const QRegularExpression re(u"^\\s*User:\\s[^,]*,\\s*Messages?:\\s*[^,]+,\\s*Deleted\\b"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &heldForDoitLine() {
    static const QRegularExpression re(
        u"^\\s*User:\\s[^,]*,\\s*Messages?:\\s*(\\d+),\\s*Not Deleted:\\s*Use the \"doit\" argument"_s,
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

void MessageRunTally::addLine(const QString &line) {
    if (failureLine().match(line).hasMatch()) {
        m_failure = true;
        return;
    }
    if (const auto match = deleteHeaderLine().match(line); match.hasMatch()) {
        m_deletion = m_deletion || match.captured(1).toLongLong() > 0;
        return;
    }
    if (deletedMessageLine().match(line).hasMatch()) {
        m_deletion = true;
        return;
    }
    if (const auto match = heldForDoitLine().match(line); match.hasMatch())
        m_held = m_held || match.captured(1).toLongLong() > 0;
}

MessageRunOutcome judgeMessageRun(bool preview, MailTarget target, int exitStatus, const MessageRunTally &tally) {
    const MessageRunOutcome done = preview ? MessageRunOutcome::previewComplete : MessageRunOutcome::finished;
    if (target != MailTarget::specific) {
        if (tally.reportedFailure())
            return MessageRunOutcome::failed;
        if (tally.reportedDeletion() || (preview && tally.reportedHeldForDoit()))
            return done;
        if (exitStatus == 0 || exitStatus == noEntitiesFound)
            return MessageRunOutcome::noMessages;
    }
    switch (exitStatus) {
    case 0:
        return done;
    case actionNotPerformed:
        return preview ? MessageRunOutcome::previewComplete : MessageRunOutcome::failed;
    case noEntitiesFound:
        return MessageRunOutcome::noMessages;
    default:
        return MessageRunOutcome::failed;
    }
}
