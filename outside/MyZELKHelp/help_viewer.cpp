#include "outside/MyZELKHelp/help_viewer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <cstdio>

namespace
{

constexpr const char* kScheme = "mzhelp";
constexpr int kTopicRole = Qt::UserRole + 1;

QString MimeTypeFor(const QString& path)
{
    static const QHash<QString, QString> types = {
        {"htm", "text/html"},      {"html", "text/html"},  {"css", "text/css"},
        {"js", "text/javascript"}, {"png", "image/png"},   {"gif", "image/gif"},
        {"jpg", "image/jpeg"},     {"jpeg", "image/jpeg"}, {"svg", "image/svg+xml"},
    };
    return types.value(QFileInfo(path).suffix().toLower(), "application/octet-stream");
}

QUrl TopicUrl(const QString& topic)
{
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(topic.startsWith('/') ? topic : "/" + topic);
    return url;
}

QString DecodeEntities(QString text)
{
    static const QRegularExpression numeric("&#(x?)([0-9a-fA-F]+);");
    QRegularExpressionMatch m;
    qsizetype from = 0;
    while ((m = numeric.match(text, from)).hasMatch())
    {
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        const QString ch = ok && code > 0 && code <= 0x10FFFF
                               ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1)
                               : QString();
        text.replace(m.capturedStart(), m.capturedLength(), ch);
        from = m.capturedStart() + ch.size();
    }
    text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
    return text;
}

} // namespace

// Answers "mzhelp:/path" with the object "/path" of the help file.
class CChmSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    CChmSchemeHandler(std::shared_ptr<CChmArchive> archive, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent), m_archive(std::move(archive))
    {
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const QString path = job->requestUrl().path(QUrl::FullyDecoded);
        const std::optional<std::string> bytes = m_archive->Read(path.toStdString());
        if (!bytes)
        {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job);
        buffer->setData(bytes->data(), static_cast<qsizetype>(bytes->size()));
        buffer->open(QIODevice::ReadOnly);
        job->reply(MimeTypeFor(path).toUtf8(), buffer);
    }

private:
    std::shared_ptr<CChmArchive> m_archive;
};

namespace
{

// A handler for a scheme that was not registered before the application
// started draws one warning; the program's browser starts first, so help can
// never register in time, and an unregistered scheme serves our pages the
// same. Only that one message is dropped.
QtMessageHandler g_previousHandler = nullptr;
void DropLateSchemeWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.contains(QLatin1String("Please register the custom scheme")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
    else
        fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

CHelpViewer::CHelpViewer(const QString& chmPath, QWidget* parent)
    : QWidget(parent, Qt::Window), m_chmPath(chmPath), m_archive(std::make_shared<CChmArchive>())
{
    setObjectName("MyZELKHelpViewer");
    m_archive->Open(QFile::encodeName(chmPath).toStdString());
    const QString title = QString::fromStdString(m_archive->Title());
    setWindowTitle(title.isEmpty() ? QString::fromUtf8("MyZELK 帮助") : title);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter);
    m_contents = new QTreeWidget(splitter);
    m_contents->setObjectName("contents");
    m_contents->setHeaderLabel(QString::fromUtf8("目录"));
    m_topic = new QWebEngineView(splitter);
    m_topic->setObjectName("topic");
    splitter->addWidget(m_contents);
    splitter->addWidget(m_topic);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 680});

    m_profile = new QWebEngineProfile(this); // off the record: help keeps nothing
    m_handler = new CChmSchemeHandler(m_archive, this);
    g_previousHandler = qInstallMessageHandler(DropLateSchemeWarning);
    m_profile->installUrlSchemeHandler(kScheme, m_handler);
    qInstallMessageHandler(g_previousHandler);
    m_topic->setPage(new QWebEnginePage(m_profile, m_topic));

    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item)
            {
                const QString topic = item->data(0, kTopicRole).toString();
                if (!topic.isEmpty())
                    m_topic->setUrl(TopicUrl(topic));
            });
    connect(m_contents, &QTreeWidget::itemClicked, m_contents, &QTreeWidget::itemActivated);
    connect(m_topic, &QWebEngineView::urlChanged, this,
            [this](const QUrl& url)
            {
                if (url.scheme() == kScheme)
                    SelectEntryFor(url.path(QUrl::FullyDecoded));
            });
    LoadContents();
    resize(900, 600);
}

CHelpViewer::~CHelpViewer()
{
    // A page must go before its profile.
    delete m_topic;
    m_topic = nullptr;
}

void CHelpViewer::ShowTopic(const QString& topic)
{
    QString path = topic;
    if (path.isEmpty())
        path = QString::fromStdString(m_archive->DefaultTopic());
    if (path.isEmpty() && m_contents->topLevelItemCount() > 0)
        path = m_contents->topLevelItem(0)->data(0, kTopicRole).toString();
    SelectEntryFor(path);
    m_topic->setUrl(TopicUrl(path));
}

void CHelpViewer::SelectEntryFor(const QString& topic)
{
    const QString wanted = topic.startsWith('/') ? topic : "/" + topic;
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it)
    {
        if ((*it)->data(0, kTopicRole).toString() == wanted)
        {
            m_contents->setCurrentItem(*it);
            m_contents->scrollToItem(*it);
            return;
        }
    }
}

void CHelpViewer::LoadContents()
{
    const std::optional<std::string> hhc = m_archive->Read(m_archive->ContentsFile());
    if (!hhc)
        return;
    // The contents file is a site map: nested lists whose items are objects
    // of type text/sitemap with "Name" and "Local" parameters.
    const QString text = QString::fromUtf8(hhc->data(), static_cast<qsizetype>(hhc->size()));
    static const QRegularExpression tag(R"(<\s*(/?)\s*(ul|object|param)\b([^>]*)>)",
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(
        R"re((\w+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re");
    QList<QTreeWidgetItem*> parents{nullptr};
    QTreeWidgetItem* last = nullptr;
    bool inObject = false;
    QString name, local;
    for (auto it = tag.globalMatch(text); it.hasNext();)
    {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString element = m.captured(2).toLower();
        if (element == "ul")
        {
            // A nested list belongs to the item just before it.
            if (!closing)
                parents.append(last);
            else if (parents.size() > 1)
                last = parents.takeLast();
        }
        else if (element == "object")
        {
            if (!closing)
            {
                inObject = true;
                name.clear();
                local.clear();
            }
            else if (inObject)
            {
                inObject = false;
                QTreeWidgetItem* parent = parents.last();
                auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
                item->setText(0, name);
                if (!local.isEmpty())
                    item->setData(0, kTopicRole, local.startsWith('/') ? local : "/" + local);
                last = item;
            }
        }
        else if (element == "param" && inObject)
        {
            QString key, value;
            for (auto a = attribute.globalMatch(m.captured(3)); a.hasNext();)
            {
                const QRegularExpressionMatch am = a.next();
                const QString v = am.captured(2) + am.captured(3) + am.captured(4);
                if (am.captured(1).compare("name", Qt::CaseInsensitive) == 0)
                    key = v;
                else if (am.captured(1).compare("value", Qt::CaseInsensitive) == 0)
                    value = DecodeEntities(v);
            }
            if (key.compare("Name", Qt::CaseInsensitive) == 0)
                name = value;
            else if (key.compare("Local", Qt::CaseInsensitive) == 0)
                local = value;
        }
    }
    m_contents->expandAll();
}
