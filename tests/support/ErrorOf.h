#pragma once

#include "base/Error.h"

#include <QString>

#include <functional>

// The text of the error action throws, empty when it throws none.
inline QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.text();
    }
    return {};
}
