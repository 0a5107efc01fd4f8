#include "Scenario.h"

#include <QRegularExpression>

QList<QPair<QString, QString>> Scenario::presets()
{
    return {
        {QStringLiteral("normal"), QStringLiteral("pause:300 3 pause:300 1")},
        {QStringLiteral("fail0"), QStringLiteral("pause:300 0")},
        {QStringLiteral("fail2"), QStringLiteral("pause:300 3 pause:300 2")},
        {QStringLiteral("silent"), QStringLiteral("hang")},
        {QStringLiteral("quiet"), QStringLiteral("exit")},
        {QStringLiteral("burst"), QStringLiteral("pause:300 3 4+1")},
        {QStringLiteral("crash"), QStringLiteral("pause:300 3 crash")},
        {QStringLiteral("orphan"), QStringLiteral("child pause:1000 3 pause:300 1")},
    };
}

bool Scenario::parse(const QString &text, QList<Step> *steps, QString *error)
{
    QString source = text.trimmed();
    for (const auto &preset : presets()) {
        if (source == preset.first)
            source = preset.second;
    }
    static const QRegularExpression code(QStringLiteral("^-?[0-9]+$"));
    static const QRegularExpression hex(QStringLiteral("^hex:([0-9a-fA-F]{2})*$"));
    const QStringList words = source.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        Step step;
        bool ok = true;
        if (word == QLatin1String("child")) {
            step.kind = Step::Child;
            step.rest = words.mid(i + 1).join(QLatin1Char(' '));
            steps->append(step);
            return true;
        }
        if (word == QLatin1String("crash")) {
            step.kind = Step::Crash;
        } else if (word == QLatin1String("hang")) {
            step.kind = Step::Hang;
        } else if (word == QLatin1String("exit")) {
            step.kind = Step::Exit;
        } else if (word.startsWith(QLatin1String("await:"))) {
            step.kind = Step::Await;
            step.rest = word.mid(6);
            ok = !step.rest.isEmpty();
        } else if (word.startsWith(QLatin1String("pause:"))) {
            step.kind = Step::Pause;
            step.milliseconds = word.mid(6).toInt(&ok);
            ok = ok && step.milliseconds >= 0;
        } else {
            const QStringList parts = word.split(QLatin1Char('+'), Qt::KeepEmptyParts);
            for (const QString &part : parts) {
                if (code.match(part).hasMatch()) {
                    step.messages << part.toUtf8();
                    step.raw << false;
                } else if (hex.match(part).hasMatch()) {
                    step.messages << QByteArray::fromHex(part.mid(4).toLatin1());
                    step.raw << true;
                } else
                    ok = false;
            }
        }
        if (!ok) {
            *error = word;
            return false;
        }
        steps->append(step);
    }
    return true;
}

int Scenario::repliesOwed(const QByteArray &message)
{
    return message == "3" || message == "4" ? 1 : 0;
}

bool Scenario::replyFits(const QByteArray &message, const QByteArray &reply)
{
    if (message == "4")
        return reply == "0|";
    return reply.size() > 1 && reply.endsWith('|');
}
