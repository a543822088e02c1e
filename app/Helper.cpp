#include "Helper.h"

#include "BlockBox.h"
#include "CANWorker.h"
#include "DialogProvider.h"
#include "FramelessWindow.h"
#include "Project.h"
#include "QtDialogProvider.h"
#include "WorkingFolder.h"

#include <AppTree.h>
#include <DataManager.h>
#include <Logging.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QTranslator>

struct HelperDeleter
{
    void operator()(Helper* h) const { delete h; }
};

Helper* Helper::instance()
{
    static std::unique_ptr<Helper, HelperDeleter> helper(new Helper);
    return helper.get();
}

Helper::Helper()
    : m_dialogs(std::make_unique<QtDialogProvider>())
{
    servobench::importTemplate();
    m_statusNode = ve::d("wnd.status.msg");
    m_currentDevice = ve::d().emptyDobj();
    m_editDevice = ve::d().emptyDobj();
}

Helper::~Helper() = default;

void Helper::setCurrentDevice(ve::DataObject* device)
{
    if (!device)
        device = ve::d().emptyDobj();
    if (device == m_currentDevice)
        return;
    disconnect(m_currentGuard);
    m_currentDevice = device;
    // A removed device must not stay current as a dangling pointer.
    if (!device->isEmpty())
        m_currentGuard = connect(device, &QObject::destroyed, this, [this] { setCurrentDevice(nullptr); });
    if (m_canWorker)
        m_canWorker->setCurrentDevice(device);
    emit currentDeviceDobjChanged();
}

void Helper::setEditDevice(ve::DataObject* device, const QString& editorType)
{
    disconnect(m_editGuard);
    m_editDevice = device ? device : ve::d().emptyDobj();
    m_editorType = editorType;
    if (!m_editDevice->isEmpty())
        m_editGuard = connect(m_editDevice, &QObject::destroyed, this, [this] {
            m_editDevice = ve::d().emptyDobj();
            m_editorType.clear();
        });
}

void Helper::loadConfiguration()
{
    servobench::loadConfiguration("config.xml");
}

void Helper::saveConfiguration()
{
    servobench::saveConfiguration("config.xml");
}

void Helper::setupScale()
{
    FramelessWindow::setupScale();
}

void Helper::loadFonts()
{
    QStringList families;
    QDirIterator it(":/fonts/", {"*.ttf"}, QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (it.hasNext()) {
        const int id = QFontDatabase::addApplicationFont(it.next());
        for (const QString& family : QFontDatabase::applicationFontFamilies(id))
            if (!families.contains(family))
                families.append(family);
    }
    // The embedded files carry their own family name; "Nordsans" resolves to
    // it, and to a CJK family for the Chinese texts.
    families << "Noto Sans CJK SC"
             << "Noto Sans CJK"
             << "WenQuanYi Micro Hei";
    QFont::insertSubstitutions("Nordsans", families);
    QApplication::setFont(QFont("Nordsans", 7));
}

void Helper::loadLanguage()
{
    const QString lang = ve::d("config.language")->getString("");
    if (lang == "en")
        return;
    const QString path = WorkingFolder::find(QString("i18n/%1.qm").arg(lang));
    if (!QFile::exists(path)) {
        ve::logError() << "no language " << path << " file";
        return;
    }
    auto* translator = new QTranslator(this);
    if (!translator->load(path)) {
        delete translator;
        ve::logError() << "load language " << lang << " failed";
        return;
    }
    if (!QCoreApplication::installTranslator(translator))
        ve::logError() << "install language " << lang << " failed";
    // Qt's own texts (dialog buttons) in the same language, when shipped beside ours.
    auto* qtTranslator = new QTranslator(this);
    if (!qtTranslator->load(WorkingFolder::find(QString("i18n/qtbase_%1.qm").arg(lang)))
        || !QCoreApplication::installTranslator(qtTranslator))
        delete qtTranslator;
}

void Helper::createServices()
{
    m_canWorker = new CANWorker(this);
    m_canWorker->setCurrentDevice(m_currentDevice);
    // The worker says what a box would say; the boxes are shown here.
    connect(m_canWorker, &CANWorker::errorBox, this, &Helper::showError);
    connect(m_canWorker, &CANWorker::informationBox, this, &Helper::showInformation);
    m_project = new Project(this);
}

void Helper::destroyServices()
{
    delete m_canWorker;
    m_canWorker = nullptr;
    delete m_project;
    m_project = nullptr;
}

void Helper::createBlockBox()
{
    m_blockBox = new BlockBox(m_mainWindow);
    connect(ve::d("trigger.block"), &ve::DataObject::changed, m_blockBox, &BlockBox::onBlock);
}

QString Helper::boxTitle(const char* pattern) const
{
    return tr(pattern).arg(ve::d("wnd.title")->getString(QString()));
}

ve::DataObject* Helper::activeDeviceOrWarn()
{
    if (m_currentDevice->isEmpty()) {
        showError(tr("No activated device!"));
        return nullptr;
    }
    return m_currentDevice;
}

void Helper::showError(const QString& text)
{
    m_dialogs->messageBox(
        DialogProvider::Box::Critical, m_mainWindow, boxTitle(QT_TR_NOOP("%1 Error")), text);
}

void Helper::showInformation(const QString& text)
{
    m_dialogs->messageBox(
        DialogProvider::Box::Information, m_mainWindow, boxTitle(QT_TR_NOOP("%1 Information")), text);
}

bool Helper::askConfirm(const QString& text)
{
    return m_dialogs->messageBox(
        DialogProvider::Box::Question, m_mainWindow, boxTitle(QT_TR_NOOP("%1 Notice")), text);
}

void Helper::showWarning(const QString& text)
{
    m_dialogs->messageBox(
        DialogProvider::Box::Warning, m_mainWindow, boxTitle(QT_TR_NOOP("%1 Warning")), text);
}

void Helper::showAbout(const QString& title, const QString& text)
{
    m_dialogs->messageBox(DialogProvider::Box::About, m_mainWindow, title, text);
}

void Helper::showStatus(const QString& text, const QString& source)
{
    m_statusNode->set(this, source.isEmpty() ? text : QString("<%1> %2").arg(source, text));
}

QString Helper::getOpenFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return m_dialogs->getOpenFileName(parent, caption, dir, filter);
}

QString Helper::getSaveFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return m_dialogs->getSaveFileName(parent, caption, dir, filter);
}

bool Helper::openLocalFile(const QString& path)
{
    return m_dialogs->openLocalFile(path);
}

void Helper::setDialogProvider(std::unique_ptr<DialogProvider> provider)
{
    m_dialogs = provider ? std::move(provider) : std::make_unique<QtDialogProvider>();
}

QString Helper::deviceName(ve::DataObject* device) const
{
    // Before the services exist a device is known by its node name (its MCU ID).
    return m_canWorker ? m_canWorker->deviceName(device) : device->name();
}

bool Helper::isSerialOpen() const
{
    return m_canWorker && m_canWorker->isConnected();
}

void Helper::connectSerial(const QString& port)
{
    if (m_canWorker)
        m_canWorker->connectPort(port);
}

void Helper::connectAutomatically()
{
    if (m_canWorker)
        m_canWorker->connectAuto();
}
