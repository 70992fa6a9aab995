#pragma once
// One descriptor held back for the moment the process has no other left: with it a
// waiting client can still be accepted and told that the server is busy, where it
// would otherwise stay in the listen queue and wake the loop again and again.
namespace platform {

class DescriptorReserve {
public:
    DescriptorReserve();
    ~DescriptorReserve();
    DescriptorReserve(const DescriptorReserve&) = delete;
    DescriptorReserve& operator=(const DescriptorReserve&) = delete;

    // Gives the held descriptor back, so that the next one made can take its place.
    void Release();
    // Holds one again; harmless when it already holds one.
    void Restore();

private:
    int descriptor_ = -1;
};

}  // namespace platform
