// Stands in for the desktop's web browser: records every address Ferrox opens.
#pragma once

#include <functional>
#include <vector>

#include <QObject>
#include <QUrl>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    // Catches https addresses until destroyed; onOpen runs inside the open call.
    explicit UrlCatcher(std::function<void(const QUrl&)> onOpen = {});
    ~UrlCatcher() override;

    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url);

private:
    std::function<void(const QUrl&)> m_onOpen;
};
