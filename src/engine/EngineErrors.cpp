#include "engine/EngineErrors.h"

namespace EngineErrors {

EngineError fileNotFound(const QString& path)
{
    return EngineError(QStringLiteral("Could not find file '%1'.").arg(path));
}

EngineError unrecognizedFormat(const QString& path)
{
    return EngineError(QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

EngineError fileInUse(const QString& path)
{
    return EngineError(QStringLiteral("Could not use '%1'; file already in use.").arg(path));
}

EngineError cannotOpen(const QString& path)
{
    return EngineError(QStringLiteral("Could not open '%1': it needs permission to read and write.").arg(path));
}

EngineError locked()
{
    return EngineError(QStringLiteral("Could not update; currently locked by another session on this machine."));
}

EngineError readOnly()
{
    return EngineError(QStringLiteral("Cannot update. Database or object is read-only."));
}

EngineError columnsChanged()
{
    return EngineError(
        QStringLiteral("The columns of the table have changed since the rows were read. Read them again."));
}

EngineError rowNotLocated()
{
    return EngineError(QStringLiteral(
        "Row cannot be located for updating. Some values may have been changed since it was last read."));
}

EngineError fieldTooSmall()
{
    return EngineError(QStringLiteral("The field is too small to accept the amount of data you attempted to add.  "
                                      "Try inserting or pasting less data."));
}

EngineError invalidText()
{
    return EngineError(QStringLiteral("The text holds half of a character and cannot be stored."));
}

EngineError notUpdatable()
{
    return EngineError(QStringLiteral("Operation must use an updateable query."));
}

EngineError fieldNotUpdatable(const QString& name)
{
    return EngineError(QStringLiteral("Field '%1' is not updatable.").arg(name));
}

EngineError syntax(const QString& detail)
{
    return EngineError(QStringLiteral("Syntax error in query: %1.").arg(detail));
}

EngineError nestedTooDeep(int limit)
{
    return syntax(QStringLiteral("parentheses nested more than %1 deep").arg(limit));
}

EngineError charactersAfterEnd()
{
    return EngineError(QStringLiteral("Characters found after end of SQL statement."));
}

EngineError missingParameters()
{
    return EngineError(QStringLiteral("No value given for one or more required parameters."));
}

EngineError tooManyParameters()
{
    return EngineError(QStringLiteral("More parameter values were given than the query has parameters."));
}

EngineError noDataSource()
{
    return EngineError(QStringLiteral("The connection string names no Data Source."));
}

EngineError relativeDataSource(const QString& path)
{
    return EngineError(QStringLiteral("The Data Source '%1' is not a full path.").arg(path));
}

EngineError notEmpty()
{
    return EngineError(QStringLiteral("The diary copied into already holds events; a diary is copied only into an "
                                      "empty one."));
}

} // namespace EngineErrors
