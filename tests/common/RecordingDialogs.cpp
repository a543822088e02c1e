#include "RecordingDialogs.h"

bool RecordingDialogs::messageBox(
    DialogProvider::Box kind, QWidget*, const QString& title, const QString& text)
{
    boxes.append({kind, title, text});
    return kind == DialogProvider::Box::Question ? confirm : true;
}

QString RecordingDialogs::getOpenFileName(
    QWidget*, const QString& caption, const QString& dir, const QString& filter)
{
    fileDialogs.append({false, caption, dir, filter});
    return answer();
}

QString RecordingDialogs::getSaveFileName(
    QWidget*, const QString& caption, const QString& dir, const QString& filter)
{
    fileDialogs.append({true, caption, dir, filter});
    return answer();
}

bool RecordingDialogs::openLocalFile(const QString& path)
{
    openedFiles << path;
    return true;
}

QStringList RecordingDialogs::texts(DialogProvider::Box kind) const
{
    QStringList out;
    for (const Box& b : boxes) {
        if (b.kind == kind)
            out << b.text;
    }
    return out;
}

QString RecordingDialogs::answer()
{
    return answers.isEmpty() ? QString() : answers.takeFirst();
}
