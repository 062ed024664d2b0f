#include "core/GAM.h"
#include "core/PlatformTexts.h"

using namespace Qt::StringLiterals;

GAMError::GAMError(Kind kind, QString description, bool killed)
    : Error(std::move(description))
    , m_kind(kind)
    , m_killed(killed) {}

GAMError GAMError::notFound() {
    return GAMError(Kind::notFound, u"'gam' not found. Install GAM or set its location in "_s +
                                        PlatformTexts::settingsReference() + u'.');
}

GAMError GAMError::timedOut(bool killed) {
    return GAMError(Kind::timedOut, u"The command timed out."_s, killed);
}

EndedBySignal::EndedBySignal(int signal)
    : Error(u"Command ended by signal "_s + QString::number(signal) + u'.')
    , m_signal(signal) {}
