#include "stream_linux.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stream.h"

struct OM_Stream_Resource_Data {
  const OM_EmbeddedResource* resource;
  reg position;
};

// Windows looks resource names up regardless of case; so do we, or a name
// that works on one build would fail on the other.
const OM_EmbeddedResource* OM_FindEmbeddedResource(const char* type, const char* name) {
  if (!type || !name) return nullptr;
  for (reg i = 0; i < OM_embeddedResourceCount; ++i) {
    const OM_EmbeddedResource* r = &OM_embeddedResources[i];
    if (r->data && strcasecmp(r->type, type) == 0 && strcasecmp(r->name, name) == 0) return r;
  }
  return nullptr;
}

// The descriptor lives in the data pointer itself, as a Windows handle does.
static int fd_of(OM_Stream* self) {
  return static_cast<int>(reinterpret_cast<intptr_t>(self->data));
}

int OM_Stream_File_Open(OM_Stream* stream, const char* name, int access) {
  // Without CREATE a missing file stays missing, even when asked for
  // writing. Neither access bit gives a descriptor that can neither read nor
  // write.
  const int rw = access & (OM_STREAM_READ | OM_STREAM_WRITE);
  int mode = O_PATH;
  if (rw == OM_STREAM_READ) mode = O_RDONLY;
  if (rw == OM_STREAM_WRITE) mode = O_WRONLY;
  if (rw == (OM_STREAM_READ | OM_STREAM_WRITE)) mode = O_RDWR;
  if ((access & OM_STREAM_CREATE) && (access & OM_STREAM_WRITE)) mode |= O_CREAT | O_TRUNC;
  int fd;
  do {
    fd = open(name, mode | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 0;
  // A directory is not a file: Windows refuses to open one as a stream.
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return 0;
  }
  stream->data = reinterpret_cast<void*>(static_cast<intptr_t>(fd));
  return 1;
}

reg OM_Stream_File_Read(OM_Stream* self, void* buffer, reg size) {
  ssize_t n;
  do {
    n = read(fd_of(self), buffer, size);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : static_cast<reg>(n);
}

reg OM_Stream_File_Write(OM_Stream* self, void* buffer, reg size) {
  ssize_t n;
  do {
    n = write(fd_of(self), buffer, size);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : static_cast<reg>(n);
}

void OM_Stream_File_Close(OM_Stream* self) { close(fd_of(self)); }

int OM_Stream_File_Sync(OM_Stream* self) {
  int r;
  do {
    r = fsync(fd_of(self));
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

// The rename is on disk only once its folder is: without this a crash right
// after a save could bring back the old file (or, for a new one, none).
// Best effort: some file systems cannot sync a folder, and the rename has
// happened either way.
static void sync_folder_of(const char* name) {
  const char* slash = strrchr(name, '/');
  char folder[4096];
  if (!slash) {
    strcpy(folder, ".");
  } else {
    reg n = static_cast<reg>(slash - name);
    if (n >= sizeof folder) return;
    if (n == 0) n = 1;  // "/NAME": the root
    memcpy(folder, name, n);
    folder[n] = '\0';
  }
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  int saved = errno;
  fsync(fd);
  close(fd);
  errno = saved;
}

int OM_File_Rename(const char* from, const char* to) {
  if (rename(from, to) != 0) return 0;
  sync_folder_of(to);
  return 1;
}

int OM_File_Delete(const char* name) { return unlink(name) == 0; }

OM_FileKind OM_File_Kind(const char* name) {
  struct stat st;
  if (stat(name, &st) != 0) {
    // Anything but "not there" is left to the open, which reports it.
    return errno == ENOENT || errno == ENOTDIR ? OM_FILE_MISSING : OM_FILE_REGULAR;
  }
  return S_ISREG(st.st_mode) ? OM_FILE_REGULAR : OM_FILE_OTHER;
}

// Nanoseconds since 1970.
int OM_File_Time(const char* name, int64_t* when) {
  struct stat st;
  if (stat(name, &st) != 0) return 0;
  *when = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return 1;
}

int OM_File_Size(const char* name, uint64_t* size) {
  struct stat st;
  if (stat(name, &st) != 0) return 0;
  *size = uint64_t(st.st_size);
  return 1;
}

void OM_File_DescribeError(char* out, reg size) {
  if (!out || size == 0) return;
  snprintf(out, size, "%s", strerror(errno));
}

int OM_File_MakeFolder(const char* name) {
  if (mkdir(name, 0777) == 0) return 1;
  struct stat st;
  return errno == EEXIST && stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

int OM_File_FullPath(const char* name, char* out, reg size) {
  char* full = realpath(*name ? name : ".", nullptr);
  if (!full) return 0;
  int n = snprintf(out, size, "%s", full);
  free(full);
  return n >= 0 && reg(n) < size;
}

int OM_File_LocalName(const char* utf8, char* out, reg size) {
  int n = snprintf(out, size, "%s", utf8);
  return n >= 0 && reg(n) < size;
}

int OM_Stream_Resource_Open(OM_Stream* stream, const char* name) {
  const OM_EmbeddedResource* r = OM_FindEmbeddedResource("RCDATA", name);
  if (!r) return 0;
  OM_Stream_Resource_Data* d =
      static_cast<OM_Stream_Resource_Data*>(malloc(sizeof(OM_Stream_Resource_Data)));
  if (!d) return 0;
  d->resource = r;
  d->position = 0;
  stream->data = d;
  return 1;
}

reg OM_Stream_Resource_Read(OM_Stream* self, void* buffer, reg size) {
  OM_Stream_Resource_Data* d = static_cast<OM_Stream_Resource_Data*>(self->data);
  if (size == 0 || !d) return 0;
  reg left = d->resource->size - d->position;
  reg count = size < left ? size : left;
  if (count) memcpy(buffer, d->resource->data + d->position, count);
  d->position += count;
  return count;
}

void OM_Stream_Resource_Close(OM_Stream* self) {
  free(self->data);
  self->data = nullptr;
}
