#include "tabs/MessageRunOutcome.h"

namespace {

constexpr int noEntitiesFound = 60;
constexpr int actionNotPerformed = 51;

} // namespace

void MessageRunTally::add(const MailboxLine &line) {
    switch (line.kind) {
    case MailboxLine::Kind::failed:
        m_failure = true;
        break;
    case MailboxLine::Kind::deleting:
        m_deletion = m_deletion || line.count > 0;
        break;
    case MailboxLine::Kind::deleted:
        m_deletion = true;
        break;
    case MailboxLine::Kind::heldForDoit:
        m_held = m_held || line.count > 0;
        break;
    case MailboxLine::Kind::noMatch:
        break;
    }
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
