#include "WebPage.h"

#include "WorkingFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineSettings>
#include <QWebEngineView>

WebPage::WebPage(QWidget* parent)
    : QWidget(parent)
    , BaseEditorPage("web")
    , m_progress(new QProgressBar(this))
    , m_view(new QWebEngineView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_progress->setObjectName("progressBar");
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(4);
    m_progress->setRange(0, 100);
    layout->addWidget(m_progress);
    layout->addWidget(m_view, 1);

    QWebEngineSettings* settings = m_view->settings();
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    connect(m_view, &QWebEngineView::loadProgress, this, [this](int p) {
        m_progress->show();
        m_progress->setValue(p);
    });
    connect(m_view, &QWebEngineView::loadFinished, m_progress, &QProgressBar::hide);
    m_view->load(instructionUrl());
}

QUrl WebPage::instructionUrl()
{
    // fromLocalFile: pasting an absolute Unix path after "file:///" would give four slashes.
    return QUrl::fromLocalFile(QFileInfo(WorkingFolder::find("instruction.pdf")).absoluteFilePath());
}
