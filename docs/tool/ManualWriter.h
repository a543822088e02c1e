#pragma once

#include <QString>
#include <QStringList>

// Joins the manual's HTML chapters (manual/*.html in name order) into one
// document, attaches the screenshots they name and prints it as a PDF.
class ManualWriter
{
public:
    explicit ManualWriter(const QString& docsDir);

    // The whole manual as one HTML text; empty with error() set when no chapter could be read.
    QString html();
    bool writePdf(const QString& path);
    QString error() const { return m_error; }

private:
    QString m_docsDir;
    QString m_error;
};
