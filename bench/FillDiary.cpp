// Creates a diary for the start-up measurement: fill-diary <path> <events>, every event listed under
// "Все мероприятия" and half of them not done.
#include "DiaryRows.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: fill-diary <path> <events>\n");
        return 2;
    }
    DiaryRows rows;
    rows.events = QString::fromLatin1(argv[2]).toInt();
    rows.periods = {QStringLiteral("ежедневное"), QStringLiteral("еженедельное"), QStringLiteral("ежемесячное"),
                    QStringLiteral("ежегодное")};
    rows.other = DiaryRows::Text::Numbered;
    rows.dates = true;
    try {
        rows.writeTo(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
