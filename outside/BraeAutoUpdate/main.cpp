// BraeAutoUpdate: the updater program, started by MyZELK with its own full
// path. A small window shows the progress; the work runs on a thread of its
// own (update_installer.h) and the program is started again when done.
#include "outside/BraeAutoUpdate/update_installer.h"
#include "platform/shell_execute.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <atomic>
#include <cstdio>
#include <thread>

namespace
{

class UpdateWindow : public QWidget
{
public:
    explicit UpdateWindow(std::string programPath) : m_programPath(std::move(programPath))
    {
        setObjectName("BraeAutoUpdate");
        setWindowTitle(QString::fromUtf8("MyZELK 在线更新"));
        auto* layout = new QVBoxLayout(this);
        m_stage = new QLabel(QString::fromUtf8("正在准备…"), this);
        m_stage->setObjectName("stage");
        m_stage->setWordWrap(true);
        m_bar = new QProgressBar(this);
        m_bar->setObjectName("progress");
        m_bar->setRange(0, 0);
        m_close = new QPushButton(QString::fromUtf8("关闭"), this);
        m_close->setObjectName("close");
        m_close->setEnabled(false);
        layout->addWidget(m_stage);
        layout->addWidget(m_bar);
        layout->addWidget(m_close, 0, Qt::AlignRight);
        connect(m_close, &QPushButton::clicked, this, &QWidget::close);
        resize(420, 130);
    }

    ~UpdateWindow() override
    {
        if (m_worker.joinable())
            m_worker.join();
    }

    void Start()
    {
        m_worker = std::thread(
            [this]
            {
                CUpdateOptions options;
                options.programPath = m_programPath;
                CUpdateHooks hooks;
                hooks.stage = [this](const std::string& text)
                {
                    QMetaObject::invokeMethod(
                        this, [this, text] { ShowStage(text); }, Qt::QueuedConnection);
                };
                hooks.progress = [this](std::uint64_t done, std::uint64_t total)
                {
                    QMetaObject::invokeMethod(
                        this, [this, done, total] { ShowProgress(done, total); },
                        Qt::QueuedConnection);
                };
                const CUpdateResult result = RunUpdate(options, hooks);
                QMetaObject::invokeMethod(
                    this, [this, result] { Finish(result); }, Qt::QueuedConnection);
            });
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // Never while files are being replaced: the set must finish or roll back.
        if (m_working)
            event->ignore();
        else
            event->accept();
    }

private:
    void ShowStage(const std::string& text) { m_stage->setText(QString::fromStdString(text)); }

    void ShowProgress(std::uint64_t done, std::uint64_t total)
    {
        if (total == 0)
        {
            m_bar->setRange(0, 0);
            return;
        }
        m_bar->setRange(0, 1000);
        m_bar->setValue(static_cast<int>(done * 1000 / total));
    }

    void Finish(const CUpdateResult& result)
    {
        m_working = false;
        m_bar->setRange(0, 1000);
        m_bar->setValue(1000);
        if (result.outcome == UpdateOutcome::Installed)
        {
            m_stage->setText(QString::fromUtf8("更新完成，正在重新启动 MyZELK…"));
            if (StartProgram(m_programPath, {}))
            {
                std::fprintf(stderr, "BraeAutoUpdate: installed %s, started %s\n",
                             result.version.Text().c_str(), m_programPath.c_str());
                m_exitCode = 0;
                QApplication::exit(0);
                return;
            }
            m_stage->setText(QString::fromUtf8("更新已完成，但无法启动 ") +
                             QString::fromStdString(m_programPath) +
                             QString::fromUtf8("，请手动启动。"));
            m_exitCode = 1;
        }
        else
        {
            m_stage->setText(QString::fromStdString(result.reason));
            m_exitCode = result.outcome == UpdateOutcome::NoNewer ? 0 : 1;
            std::fprintf(stderr, "BraeAutoUpdate: %s\n", result.reason.c_str());
        }
        m_close->setEnabled(true);
        m_close->setFocus();
    }

public:
    int ExitCode() const { return m_exitCode; }

private:
    std::string m_programPath;
    QLabel* m_stage = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_close = nullptr;
    std::thread m_worker;
    std::atomic<bool> m_working{true};
    int m_exitCode = 1;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 || argv[1][0] == '\0')
    {
        std::fprintf(stderr, "usage: BraeAutoUpdate PROGRAM-FULL-PATH\n");
        return 2;
    }
    UpdateWindow window(argv[1]);
    window.show();
    window.Start();
    const int rc = app.exec();
    return rc != 0 ? rc : window.ExitCode();
}
