#include "url_catcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher(std::function<void(const QUrl&)> onOpen) : m_onOpen(std::move(onOpen)) {
    QDesktopServices::setUrlHandler("https", this, "Open");
}

UrlCatcher::~UrlCatcher() { QDesktopServices::unsetUrlHandler("https"); }

void UrlCatcher::Open(const QUrl& url) {
    opened.push_back(url);
    if (m_onOpen) {
        m_onOpen(url);
    }
}
