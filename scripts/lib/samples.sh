# Sample update files for the demonstrations, in "$1" (created): firmware as
# Intel HEX made by objcopy from random bytes ("$1/../firmware.raw" keeps
# the raw image) with its four-digit version trailer, the three block
# images, "ver.txt", and a 73-byte device menu "$1/../menu.bin".
# Usage: make_samples <folder> [camera database bytes]
make_samples() {
  local files=$1 edog=${2:-131072}
  local top
  top=$(dirname "$files")
  mkdir -p "$files"
  head -c 16384 /dev/urandom > "$top/firmware.raw"
  objcopy -I binary -O ihex --change-addresses 0x08000000 "$top/firmware.raw" "$files/AC7811_project.hex"
  printf '0102' >> "$files/AC7811_project.hex"
  head -c "$edog"  /dev/urandom > "$files/flagdata.bin"
  head -c 65536  /dev/urandom > "$files/audioHead.bin"
  head -c 70000  /dev/urandom > "$files/rdfw.bin"
  printf 'RD-DEMO\r\n0102\r\n0003\r\n1a2b\r\n' > "$files/ver.txt"
  head -c 73 /dev/urandom > "$top/menu.bin"
}

# The versions the sample device reports before an update (one step behind
# the sample files) and after it (the files' own).
sim_versions=(--firmware-version 0x0101 --data-version 0x0002 --data-version-after 0x0003
              --radar-version 0x1a2a --radar-version-after 0x1a2b)

# Starts iap-sim ($IAP_SIM, default the build's) on COM3 of "$1" (paced at
# 256000 baud, recording into "$2"), waits for its port and sets sim_pid.
start_sim() {
  "${IAP_SIM:-build/sim/iap-sim}" --port-dir "$1" --com 3 --record "$2" --baud 256000 "${sim_versions[@]}" &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$1/COM3" ] && break; sleep 0.05; done
}

# Says, image by image, whether what the device recorded in "$2" equals
# what make_samples put in "$1" (and the menu, when "$3" is given); answers
# 1 when anything differs.
compare_record() {
  local files=$1 record=$2 menu=${3:-} top ok=0
  top=$(dirname "$files")
  same() {
    if cmp -s "$1" "$2"; then echo "  $3: identical ($(stat -c %s "$1") bytes)";
    else echo "  $3: DIFFERENT"; ok=1; fi
  }
  same "$top/firmware.raw" "$record/firmware.bin" "firmware (at $(head -n1 "$record/firmware.map" 2>/dev/null))"
  same "$files/flagdata.bin" "$record/flagdata.bin" "camera database"
  same "$files/audioHead.bin" "$record/audioHead.bin" "sound data"
  same "$files/rdfw.bin" "$record/rdfw.bin" "radar firmware ($(cat "$record/rdfw.size" 2>/dev/null))"
  [ -z "$menu" ] || same "$menu" "$record/settings.bin" "device menu"
  return $ok
}
