#include "FakeMachine.h"

#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {
void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}
}  // namespace

FakeMachine::FakeMachine(const fs::path& root) : m_root(root) {
  fs::create_directories(root / "sys/class/block");
  fs::create_directories(root / "dev");
  SetMountInfo("");
}

fs::path FakeMachine::AddDisk(const std::string& name, std::uint64_t bytes) {
  const fs::path dir = m_root / "sys/devices/pci0000:00/host0/target0:0:0/0:0:0:0/block" / name;
  fs::create_directories(dir / "queue");
  Write(dir / "size", std::to_string(bytes / 512));
  Write(dir / "queue/logical_block_size", "512");
  Write(dir / "ro", "0");
  Write(dir / "removable", "0");
  Write(dir / "dev", "8:" + std::to_string(m_minor));
  m_minor += 16;
  Write(dir / "device/vendor", "ACME");
  Write(dir / "device/model", "Disk " + name);
  fs::create_symlink(fs::relative(dir, m_root / "sys/class/block"), m_root / "sys/class/block" / name);
  std::ofstream(m_root / "dev" / name, std::ios::binary).close();
  fs::resize_file(m_root / "dev" / name, bytes);
  return dir;
}

void FakeMachine::AddPartition(const std::string& disk, const std::string& name, int number, std::uint64_t start512,
                               std::uint64_t size512) {
  const fs::path diskDir = fs::canonical(m_root / "sys/class/block" / disk);
  const fs::path dir = diskDir / name;
  Write(dir / "partition", std::to_string(number));
  Write(dir / "start", std::to_string(start512));
  Write(dir / "size", std::to_string(size512));
  Write(dir / "dev", "8:" + std::to_string(m_minor++));
  fs::create_symlink(fs::relative(dir, m_root / "sys/class/block"), m_root / "sys/class/block" / name);

  std::ifstream in(m_root / "dev" / disk, std::ios::binary);
  std::vector<char> bytes(size512 * 512);
  in.seekg(static_cast<std::streamoff>(start512 * 512));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::ofstream(m_root / "dev" / name, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void FakeMachine::SetMountInfo(const std::string& text) { std::ofstream(m_root / "mountinfo") << text; }

EnumSources FakeMachine::Sources() const {
  EnumSources s;
  s.sysfsRoot = (m_root / "sys").string();
  s.deviceDir = (m_root / "dev").string();
  s.mountInfo = (m_root / "mountinfo").string();
  return s;
}
