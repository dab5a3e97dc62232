#pragma once
// The server's host key: an Ed25519 key in OpenSSH's format. By default
// ssh_host_ed25519_key in $STATE_DIRECTORY (set by systemd), else in
// $XDG_STATE_HOME/cellshow, else in ~/.local/state/cellshow; made there on
// first start, readable by its owner alone (0600). A key file that anyone
// else may read or write is refused, as sshd refuses one.
#include <string>

typedef struct ssh_key_struct* ssh_key;

namespace cellshow {

// Where the key is kept when --host-key does not say: from the values of
// STATE_DIRECTORY, XDG_STATE_HOME and HOME (each nullptr when unset). ""
// when none is set. systemd may list several state folders (colon-separated):
// the first is used.
std::string DefaultHostKeyPath(const char* stateDirectory, const char* xdgStateHome,
                               const char* home);

struct HostKey {
  ssh_key key = nullptr;    // owned by the caller (ssh_key_free), or the bind's
  std::string fingerprint;  // "SHA256:..." as ssh shows it
  bool made = false;        // made now, on first start
};

// Reads the key at `path`; when `makeIfMissing` and there is none, makes one
// (and its folder, 0700). False with `error` set to one line otherwise: the
// file's permissions let others in, it cannot be read, or it is not a key.
bool LoadHostKey(const std::string& path, bool makeIfMissing, HostKey& out, std::string& error);

}  // namespace cellshow
