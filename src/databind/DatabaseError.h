#pragma once

#include "base/Error.h"

// An error of the data-binding layer: a record set's own checks (their text begins with the set's name, a colon
// and a blank), field writes and text conversions.
class DatabaseError : public Error
{
public:
    using Error::Error;
};
