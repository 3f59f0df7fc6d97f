// A small stand-in for the simulator at the other end of the link, for tests: it listens on
// 127.0.0.1 with a port the system chooses (for the editor to connect to) or connects to the
// editor's listening port, collects the frames the editor sends, sends whatever bytes a test gives
// it, and can answer frames as they come. It runs on a thread of its own over plain sockets, and
// reads frames with its own small decoder, so that what the editor writes is checked against an
// independent reading of the wire format.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plexa::test {

// One string-list entry as the peer reads it.
struct PeerEntry {
    std::string text;
    uint32_t data = 0;  // the big-endian integer of 2- or 4-byte entry data
    bool operator==(const PeerEntry&) const = default;
};

// One frame as the peer reads it.
struct PeerFrame {
    uint32_t type = 0;
    uint8_t sender = 0, raw = 0;
    uint32_t number = 0, projectId = 0;
    uint32_t arguments[4] = {};
    std::string body;  // the body as it came (string-list head included; raw prefix included)
    uint16_t entryDataSize = 0;
    std::vector<PeerEntry> entries;
};

inline void AppendBE32(std::string* s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s->push_back(char(uint8_t(v >> shift)));
}
inline void AppendBE16(std::string* s, uint16_t v) {
    s->push_back(char(uint8_t(v >> 8)));
    s->push_back(char(uint8_t(v)));
}
inline uint32_t ReadBE32(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}
inline uint16_t ReadBE16(const std::string& s, size_t at) {
    return uint16_t((uint8_t(s[at]) << 8) | uint8_t(s[at + 1]));
}

// The bytes of a string-list body in wire order.
inline std::string PeerStringList(uint16_t entryDataSize, const std::vector<PeerEntry>& entries) {
    std::string items;
    for (const PeerEntry& e : entries) {
        items.push_back(char(uint8_t(e.text.size())));
        items += e.text;
        if (entryDataSize == 4) AppendBE32(&items, e.data);
        else if (entryDataSize == 2) AppendBE16(&items, uint16_t(e.data));
        else items.append(entryDataSize, '\0');
    }
    std::string body;
    AppendBE16(&body, entryDataSize);
    AppendBE16(&body, uint16_t(entries.size()));
    AppendBE32(&body, uint32_t(items.size()));
    return body + items;
}

// A whole frame in wire order around a body given as it goes (an empty body is sent as the empty
// head unless raw).
inline std::string PeerFrameBytes(uint32_t type, uint32_t number, uint32_t projectId,
                                  std::array<uint32_t, 4> arguments, const std::string& body,
                                  uint8_t raw = 0) {
    std::string f("\x52\xA3\xC1\x20", 4);
    AppendBE32(&f, type);
    f.push_back(1);  // sender
    f.push_back(char(raw));
    f.push_back(0);
    f.push_back(0);
    AppendBE32(&f, number);
    AppendBE32(&f, projectId);
    for (uint32_t a : arguments) AppendBE32(&f, a);
    if (!body.empty() || raw) f += body;
    else f.append(8, '\0');
    f += std::string("\xAA\xCC\x55\x11", 4);
    return f;
}

// Reads the frames at the start of `bytes` (the editor writes nothing else) and removes them;
// false when the bytes are not a frame.
inline bool TakePeerFrames(std::string* bytes, std::vector<PeerFrame>* frames) {
    for (;;) {
        if (bytes->size() < 40) return true;
        if (bytes->compare(0, 4, std::string("\x52\xA3\xC1\x20", 4)) != 0) return false;
        PeerFrame f;
        f.type = ReadBE32(*bytes, 4);
        f.sender = uint8_t((*bytes)[8]);
        f.raw = uint8_t((*bytes)[9]);
        f.number = ReadBE32(*bytes, 12);
        f.projectId = ReadBE32(*bytes, 16);
        for (int i = 0; i < 4; ++i) f.arguments[i] = ReadBE32(*bytes, 20 + 4 * size_t(i));
        size_t at = 36;
        size_t bodySize = 0;
        if (f.raw) {
            // A raw body is there when the end marker is not.
            if (bytes->compare(at, 4, std::string("\xAA\xCC\x55\x11", 4)) != 0)
                bodySize = 8 + size_t(ReadBE32(*bytes, at + 4));
        } else {
            bodySize = 8 + size_t(ReadBE32(*bytes, at + 4));
        }
        if (bytes->size() < at + bodySize + 4) return true;
        f.body = bytes->substr(at, bodySize);
        if (bytes->compare(at + bodySize, 4, std::string("\xAA\xCC\x55\x11", 4)) != 0) return false;
        if (!f.raw) {
            f.entryDataSize = ReadBE16(f.body, 0);
            const uint16_t count = ReadBE16(f.body, 2);
            size_t p = 8;
            for (uint16_t i = 0; i < count; ++i) {
                if (p >= f.body.size()) return false;
                PeerEntry e;
                const size_t n = uint8_t(f.body[p]);
                if (p + 1 + n + f.entryDataSize > f.body.size()) return false;
                e.text = f.body.substr(p + 1, n);
                if (f.entryDataSize == 4) e.data = ReadBE32(f.body, p + 1 + n);
                if (f.entryDataSize == 2) e.data = ReadBE16(f.body, p + 1 + n);
                f.entries.push_back(e);
                p += 1 + n + f.entryDataSize;
            }
        }
        frames->push_back(f);
        bytes->erase(0, at + bodySize + 4);
    }
}

// What the fake simulators' threads report to a test waiting on them, process-wide: a count of
// rounds in which a thread took something in (a connection, bytes, a close) and a count of rounds
// in which one found nothing to take in. A test that has sent something waits for the next
// round of either kind: after a round that found nothing, what was sent before has been read.
struct PeerBoard {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t busyRounds = 0;
    uint64_t idleRounds = 0;
    int running = 0;  // peer threads alive
};
inline PeerBoard& ThePeerBoard() {
    static PeerBoard board;
    return board;
}
struct PeerRounds {
    uint64_t busy = 0;
    uint64_t idle = 0;
};
inline PeerRounds PeerRoundsNow() {
    PeerBoard& board = ThePeerBoard();
    std::lock_guard<std::mutex> lock(board.mutex);
    return {board.busyRounds, board.idleRounds};
}
// Waits until a peer thread has finished a round after `since`: true at once when a round took
// something in since; with `untilIdle`, only an idle round ends the wait (every peer has taken in
// all that was sent to it before). No thread running: nothing can change, false at once. The
// limit only ends a test whose peer thread is stuck.
inline bool WaitPeerRound(PeerRounds since, bool untilIdle,
                          std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    PeerBoard& board = ThePeerBoard();
    std::unique_lock<std::mutex> lock(board.mutex);
    return board.changed.wait_for(lock, limit, [&] {
        if (board.running == 0) return true;
        return board.idleRounds > since.idle || (!untilIdle && board.busyRounds > since.busy);
    }) && board.running > 0;
}
inline void NotePeerRound(bool busy, int runningChange = 0) {
    PeerBoard& board = ThePeerBoard();
    {
        std::lock_guard<std::mutex> lock(board.mutex);
        ++(busy ? board.busyRounds : board.idleRounds);
        board.running += runningChange;
    }
    board.changed.notify_all();
}

class FakeSimora {
public:
    // What the peer sends back for a frame it received (empty: nothing). It runs on the peer's
    // thread, so it must touch nothing of the editor's (no handles, no link state).
    using Responder = std::function<std::string(const PeerFrame& frame)>;

    FakeSimora() = default;
    ~FakeSimora() { Stop(); }
    FakeSimora(const FakeSimora&) = delete;
    FakeSimora& operator=(const FakeSimora&) = delete;

    // Listens on 127.0.0.1 at a port the system chooses; the thread accepts connections.
    bool Listen() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0) return false;
        // Accepted connections inherit this, so the port can be held again while one is open.
        const int on = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof where;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
            listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length) != 0)
            return false;
        port_ = ntohs(where.sin_port);
        Start();
        return true;
    }

    // Connects to the editor listening on 127.0.0.1 at the port.
    bool Connect(uint16_t port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
            close(fd);
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection_ = fd;
            ++connections_;
        }
        Start();
        return true;
    }

    uint16_t port() const { return port_; }

    void SetResponder(Responder responder) {
        std::lock_guard<std::mutex> lock(mutex_);
        responder_ = std::move(responder);
    }
    // Each accepted connection is closed at once (a simulator that keeps going away).
    void SetCloseOnAccept(bool on) { closeOnAccept_ = on; }
    // The connection is closed when the editor says goodbye ("ECon").
    void SetCloseOnGoodbye(bool on) { closeOnGoodbye_ = on; }
    // The next `connections` connections are reset once `bytes` bytes have come on each (the
    // editor then fails in the middle of a send).
    void SetResetAfter(size_t bytes, int connections) {
        std::lock_guard<std::mutex> lock(mutex_);
        resetAfterBytes_ = bytes;
        resetsLeft_ = connections;
    }

    // Sends bytes on the current connection; false when there is none or they do not all go.
    bool Send(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        return SendLocked(bytes);
    }

    // Closes the current connection: with `reset` at once (the editor's next step fails), else
    // in the ordinary way.
    void CloseConnection(bool reset = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        CloseLocked(reset);
    }
    // Stops accepting: the port refuses from now on. The listener is shut down before it is
    // closed, because the thread's poll keeps a closed socket alive (and accepting) until it
    // returns. The port then stays bound without listening, so that no other process running tests
    // on this machine can take it and answer in our place. True when the port is held.
    bool StopListening() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (listener_ >= 0) {
            shutdown(listener_, SHUT_RDWR);
            close(listener_);
        }
        listener_ = -1;
        held_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (held_ < 0) return false;
        const int on = 1;
        setsockopt(held_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port_);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(held_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
            close(held_);
            held_ = -1;
        }
        return held_ >= 0;
    }

    // Waits (at most `limit`) until `count` frames have come.
    bool WaitFrames(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return frames_.size() >= count; });
    }
    // Waits until the editor has connected `count` times in all.
    bool WaitConnections(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return connections_ >= count; });
    }
    // Waits until this peer's thread has gone round once finding nothing to read: whatever the
    // editor had sent before the call has been taken in (for a "nothing more came" check).
    bool WaitQuiet() {
        const PeerRounds since = PeerRoundsNow();
        return WaitPeerRound(since, true);
    }
    // Waits until the editor's side of the connection has closed.
    bool WaitPeerClosed(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return peerClosed_; });
    }

    std::vector<PeerFrame> frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    int connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return connections_;
    }
    // False when the editor wrote something that is not a frame.
    bool wellFormed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return wellFormed_;
    }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
            NotePeerRound(true, -1);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        CloseLocked(false);
        if (listener_ >= 0) close(listener_);
        listener_ = -1;
        if (held_ >= 0) close(held_);
        held_ = -1;
    }

private:
    void Start() {
        if (thread_.joinable()) return;
        NotePeerRound(true, 1);
        thread_ = std::thread([this] { Run(); });
    }

    bool SendLocked(const std::string& bytes) {
        if (connection_ < 0) return false;
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(connection_, bytes.data() + sent, bytes.size() - sent,
                                     MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += size_t(n);
        }
        return true;
    }

    void CloseLocked(bool reset) {
        if (connection_ < 0) return;
        if (reset) {
            linger off{1, 0};
            setsockopt(connection_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
        }
        close(connection_);
        connection_ = -1;
        pending_.clear();
    }

    void Run() {
        while (!stop_) {
            pollfd fds[2];
            int n = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (listener_ >= 0) fds[n++] = {listener_, POLLIN, 0};
                if (connection_ >= 0) fds[n++] = {connection_, POLLIN, 0};
            }
            // Nothing to watch: the round waits on no socket (a listener or connection made
            // meanwhile is watched from the next round).
            if (n == 0 || poll(fds, nfds_t(n), 10) <= 0) {
                if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                NotePeerRound(false);
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (int i = 0; i < n; ++i) {
                    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                    if (fds[i].fd == listener_) Accept();
                    else if (fds[i].fd == connection_) Read();
                }
                changed_.notify_all();
            }
            NotePeerRound(true);
        }
    }

    void Accept() {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        ++connections_;
        if (closeOnAccept_) {
            linger off{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
            close(fd);
            return;
        }
        CloseLocked(false);
        connection_ = fd;
        connectionBytes_ = 0;
        peerClosed_ = false;
    }

    void Read() {
        char buffer[4096];
        const ssize_t n = recv(connection_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
            peerClosed_ = true;
            CloseLocked(false);
            return;
        }
        received_.append(buffer, size_t(n));
        connectionBytes_ += size_t(n);
        if (resetsLeft_ > 0 && connectionBytes_ >= resetAfterBytes_) {
            --resetsLeft_;
            CloseLocked(true);
            return;
        }
        pending_.append(buffer, size_t(n));
        const size_t before = frames_.size();
        if (!TakePeerFrames(&pending_, &frames_)) {
            wellFormed_ = false;
            pending_.clear();
        }
        for (size_t i = before; i < frames_.size(); ++i) {
            const PeerFrame frame = frames_[i];
            if (closeOnGoodbye_ && frame.type == 0x45436F6E) {  // "ECon"
                CloseLocked(false);
                return;
            }
            if (responder_) {
                const std::string answer = responder_(frame);
                if (!answer.empty()) SendLocked(answer);
            }
        }
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    int listener_ = -1;
    int held_ = -1;  // the port kept bound after listening stopped
    int connection_ = -1;
    uint16_t port_ = 0;
    int connections_ = 0;
    size_t connectionBytes_ = 0;
    size_t resetAfterBytes_ = 0;
    int resetsLeft_ = 0;
    bool peerClosed_ = false;
    bool wellFormed_ = true;
    std::atomic<bool> closeOnAccept_{false};
    std::atomic<bool> closeOnGoodbye_{false};
    std::string received_;
    std::string pending_;
    std::vector<PeerFrame> frames_;
    Responder responder_;
};

}  // namespace plexa::test
