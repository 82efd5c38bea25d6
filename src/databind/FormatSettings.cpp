#include "databind/FormatSettings.h"

namespace {
FormatSettings& installed()
{
    static FormatSettings settings;
    return settings;
}
} // namespace

const FormatSettings& FormatSettings::current()
{
    return installed();
}

void FormatSettings::setCurrent(const FormatSettings& settings)
{
    installed() = settings;
}
