#pragma once

// While one lives, what this process creates is its owner's only from the
// moment it is made, whatever mode the creating code asks for (QLockFile asks
// for 0666, less the umask). The umask is the whole process's: keep one
// around a single creation on the thread that makes it.
class OwnerOnlyCreation {
public:
    OwnerOnlyCreation();
    ~OwnerOnlyCreation();
    OwnerOnlyCreation(const OwnerOnlyCreation&) = delete;
    OwnerOnlyCreation& operator=(const OwnerOnlyCreation&) = delete;

private:
    unsigned previous_ = 0;
};
