// One running instance per user over a local socket (see instance_platform.h).
#include "platform/instance_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/app_platform.h"
#include "platform/services_platform.h"

namespace plexa {
namespace {

constexpr size_t kMaxRequest = 1 << 20;
constexpr int kAnswerMillis = 5000;
constexpr char kOpenWord[] = "open";
constexpr char kPrintWord[] = "print";

struct Listener {
    int fd = -1;
    std::string path;
    QSocketNotifier* notifier = nullptr;
};

Listener& TheListener() {
    static Listener listener;
    return listener;
}

// A folder the user owns and nobody else may enter (never through a link).
bool PrivateFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && path[0] == '/' && lstat(path.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && PrivateFolder(runtime)) return runtime;
    const std::string folder = std::string("/tmp/") + PlatformApplicationIdentifier() + "-" +
                               std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return PrivateFolder(folder) ? folder : std::string();
}

bool Address(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.data(), path.size());
    return true;
}

bool WaitFor(int fd, short events, int millis) {
    pollfd p{fd, events, 0};
    int n;
    do n = poll(&p, 1, millis); while (n < 0 && errno == EINTR);
    return n > 0;
}

// Sends the request and waits for the answer; true when the running instance took the documents.
bool SendRequest(int fd, const std::vector<std::string>& documents, bool print) {
    std::string request = print ? std::string(kPrintWord, sizeof kPrintWord) : std::string(kOpenWord, sizeof kOpenWord);
    for (const std::string& path : documents) request.append(path.c_str(), path.size() + 1);
    size_t sent = 0;
    while (sent < request.size()) {
        if (!WaitFor(fd, POLLOUT, kAnswerMillis)) return false;
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (n > 0) sent += size_t(n);
    }
    shutdown(fd, SHUT_WR);
    char answer = 0;
    if (!WaitFor(fd, POLLIN, kAnswerMillis)) return false;
    return recv(fd, &answer, 1, 0) == 1 && answer == 'K';
}

bool StartsWith(const std::string& bytes, const char* word, size_t size) {
    return bytes.size() >= size && std::memcmp(bytes.data(), word, size) == 0;
}

// The documents of a whole request and whether they are to be printed; false when it is not one.
bool ParseRequest(const std::string& bytes, std::vector<std::string>* documents, bool* print) {
    *print = StartsWith(bytes, kPrintWord, sizeof kPrintWord);
    if (!*print && !StartsWith(bytes, kOpenWord, sizeof kOpenWord)) return false;
    size_t at = *print ? sizeof kPrintWord : sizeof kOpenWord;
    while (at < bytes.size()) {
        const size_t end = bytes.find('\0', at);
        if (end == std::string::npos) return false;  // a path without its NUL: cut short
        std::string path = bytes.substr(at, end - at);
        if (!path.empty() && path[0] == '/') documents->push_back(std::move(path));
        at = end + 1;
    }
    return true;
}

void BringFrontWindowForward() {
    QWidget* front = QApplication::activeWindow();
    if (!front)
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && !(widget->windowFlags() & Qt::ToolTip)) {
                front = widget;
                break;
            }
    if (!front) return;
    front->raise();
    front->activateWindow();
}

struct Connection {
    int fd = -1;
    std::string bytes;
    QSocketNotifier* notifier = nullptr;
    QTimer* timer = nullptr;
};

void Close(const std::shared_ptr<Connection>& connection) {
    if (connection->fd < 0) return;
    connection->notifier->setEnabled(false);
    connection->notifier->deleteLater();
    connection->timer->stop();
    connection->timer->deleteLater();
    close(connection->fd);
    connection->fd = -1;
}

void ReadConnection(const std::shared_ptr<Connection>& connection) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(connection->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            if (connection->bytes.size() + size_t(n) > kMaxRequest) return Close(connection);
            connection->bytes.append(buffer, size_t(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        break;  // the end of the request, or a failed connection
    }
    std::vector<std::string> documents;
    bool print = false;
    if (ParseRequest(connection->bytes, &documents, &print)) {
        send(connection->fd, "K", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        Close(connection);
        BringFrontWindowForward();
        if (!documents.empty()) PlatformHandInDocuments(documents, print);
        return;
    }
    Close(connection);
}

void Accept() {
    Listener& listener = TheListener();
    for (;;) {
        const int fd = accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
            close(fd);
            continue;
        }
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, listener.notifier);
        connection->timer = new QTimer(listener.notifier);
        connection->timer->setSingleShot(true);
        QObject::connect(connection->notifier, &QSocketNotifier::activated,
                         [connection] { ReadConnection(connection); });
        QObject::connect(connection->timer, &QTimer::timeout, [connection] { Close(connection); });
        connection->timer->start(kAnswerMillis);
    }
}

bool Listen(const std::string& path) {
    sockaddr_un address;
    if (!QCoreApplication::instance() || !Address(path, &address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0) {
        close(fd);
        return false;
    }
    Listener& listener = TheListener();
    listener.fd = fd;
    listener.path = path;
    listener.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(listener.notifier, &QSocketNotifier::activated, [] { Accept(); });
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(PlatformStopInstanceListener);
    }
    return true;
}

}  // namespace

std::string PlatformInstanceSocketPath() {
    const std::string folder = RuntimeFolder();
    return folder.empty() ? folder : folder + "/" + PlatformApplicationIdentifier() + ".socket";
}

bool PlatformHandToRunningInstance(const std::vector<std::string>& documents, bool print) {
    if (TheListener().fd >= 0) return false;  // this process is the running instance
    const std::string path = PlatformInstanceSocketPath();
    sockaddr_un address;
    if (!Address(path, &address)) return false;
    const int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) return false;
    int locked;
    do locked = flock(lock, LOCK_EX); while (locked != 0 && errno == EINTR);
    bool handed = false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        handed = SendRequest(fd, documents, print);
        if (!handed)
            std::fprintf(stderr, "%s: the running instance did not answer; running alone\n",
                         PlatformApplicationName());
    } else if (fd >= 0 && (errno == ECONNREFUSED || errno == ENOENT)) {
        Listen(path);  // nobody listens (a stale socket is replaced): this process does
    }
    if (fd >= 0) close(fd);
    flock(lock, LOCK_UN);
    close(lock);
    return handed;
}

void PlatformStopInstanceListener() {
    Listener& listener = TheListener();
    if (listener.fd < 0) return;
    if (QCoreApplication::instance() && listener.notifier) delete listener.notifier;
    listener.notifier = nullptr;
    close(listener.fd);
    listener.fd = -1;
    unlink(listener.path.c_str());
    listener.path.clear();
}

}  // namespace plexa
