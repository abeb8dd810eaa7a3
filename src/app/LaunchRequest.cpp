#include "app/LaunchRequest.h"

#include "model/Tags.h"

#include <QStringList>

#include <cstring>

LaunchRequest LaunchRequest::parse(int argc, char *argv[])
{
    LaunchRequest request;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--add") != 0)
            continue;
        QStringList words;
        for (int j = i + 1; j < argc; ++j)
            words.append(QString::fromLocal8Bit(argv[j]));
        // Trimmed as the input line trims what is typed into it.
        const QString text = trimmedSpacesAndTabs(words.join(QLatin1Char(' ')));
        if (text.isEmpty())
            request.error = QStringLiteral("falta el texto de la tarea: lorvane --add \"texto "
                                           "#etiqueta\"");
        else
            request.taskToAdd = text;
        break;
    }
    return request;
}
