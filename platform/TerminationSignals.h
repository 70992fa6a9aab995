#pragma once
// SIGINT and SIGTERM as a readable descriptor, so that they arrive on the queue
// like any other event; SIGPIPE ignored, since a send to a closed client is a result.
namespace platform {

class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Readable once a signal is pending; -1 when it could not be made.
    [[nodiscard]] int Descriptor() const { return descriptor_; }

private:
    int descriptor_ = -1;
};

}  // namespace platform
