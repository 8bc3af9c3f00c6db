// POSIX half of the platform layer.
