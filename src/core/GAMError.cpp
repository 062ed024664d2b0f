#include "core/GAM.h"
#include "core/PlatformTexts.h"

using namespace Qt::StringLiterals;

GAMError::GAMError(Kind kind, QString description)
    : Error(std::move(description))
    , m_kind(kind) {}

GAMError GAMError::notFound() {
    return GAMError(Kind::notFound, u"'gam' not found. Install GAM or set its location in "_s +
                                        PlatformTexts::settingsReference() + u'.');
}

GAMError GAMError::timedOut() {
    return GAMError(Kind::timedOut, u"The command timed out."_s);
}
