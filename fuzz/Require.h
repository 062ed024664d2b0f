#pragma once

#include <QDebug>
#include <cstdlib>

// Stops the run, so libFuzzer keeps the input, when a property does not hold.
template <typename... Shown> void require(bool holds, const char *property, const Shown &...shown) {
    if (holds)
        return;
    qCritical().noquote() << "property broken:" << property;
    ((qCritical() << shown), ...);
    std::abort();
}
