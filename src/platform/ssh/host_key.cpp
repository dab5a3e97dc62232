#include "platform/ssh/host_key.h"

#include <fcntl.h>
#include <libssh/libssh.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cellshow {
namespace {

constexpr const char* KeyName = "ssh_host_ed25519_key";

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Makes `folder` and the folders above it that are missing, 0700.
bool MakeFolders(const std::string& folder, std::string& error) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot make the folder " + part + " for the host key: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

// A new key, written to `path` with mode 0600 from the start.
bool MakeKey(const std::string& path, std::string& error) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error))
    return false;
  ssh_key key = nullptr;
  char* text = nullptr;
  if (ssh_pki_generate(SSH_KEYTYPE_ED25519, 0, &key) != SSH_OK ||
      ssh_pki_export_privkey_base64(key, nullptr, nullptr, nullptr, &text) != SSH_OK) {
    ssh_key_free(key);
    error = "cannot make a host key";
    return false;
  }
  ssh_key_free(key);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool written = false;
  if (fd >= 0) {
    const size_t size = std::strlen(text);
    written = write(fd, text, size) == static_cast<ssize_t>(size);
    written = close(fd) == 0 && written;
  }
  ssh_string_free_char(text);
  if (!written) {
    error = "cannot write the host key " + path + ": " + std::strerror(errno);
    if (fd >= 0) unlink(path.c_str());
    return false;
  }
  return true;
}

std::string Fingerprint(ssh_key key) {
  ssh_key pub = nullptr;
  unsigned char* hash = nullptr;
  size_t length = 0;
  std::string text;
  if (ssh_pki_export_privkey_to_pubkey(key, &pub) == SSH_OK &&
      ssh_get_publickey_hash(pub, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
    char* shown = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    if (shown != nullptr) text = shown;
    ssh_string_free_char(shown);
    ssh_clean_pubkey_hash(&hash);
  }
  ssh_key_free(pub);
  return text;
}

}  // namespace

std::string DefaultHostKeyPath(const char* stateDirectory, const char* xdgStateHome,
                               const char* home) {
  if (stateDirectory != nullptr && *stateDirectory != '\0') {
    const std::string first(stateDirectory, std::strcspn(stateDirectory, ":"));
    return first + "/" + KeyName;
  }
  if (xdgStateHome != nullptr && *xdgStateHome == '/')
    return std::string(xdgStateHome) + "/cellshow/" + KeyName;
  if (home != nullptr && *home != '\0')
    return std::string(home) + "/.local/state/cellshow/" + KeyName;
  return "";
}

bool LoadHostKey(const std::string& path, bool makeIfMissing, HostKey& out, std::string& error) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT || !makeIfMissing) {
      error = "cannot read the host key " + path + ": " + std::strerror(errno);
      return false;
    }
    if (!MakeKey(path, error)) return false;
    out.made = true;
    if (stat(path.c_str(), &st) != 0) {
      error = "cannot read the host key " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!S_ISREG(st.st_mode)) {
    error = "the host key " + path + " is not a file";
    return false;
  }
  if ((st.st_mode & 077) != 0) {
    error = "the host key " + path + " has mode " + Octal(st.st_mode) +
            ", so others may read it; it is refused until only its owner can (chmod 600 " + path +
            ")";
    return false;
  }
  if (ssh_pki_import_privkey_file(path.c_str(), nullptr, nullptr, nullptr, &out.key) != SSH_OK) {
    error = "the host key " + path + " cannot be read as a private key";
    return false;
  }
  out.fingerprint = Fingerprint(out.key);
  return true;
}

}  // namespace cellshow
