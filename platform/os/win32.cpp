// Windows half of the platform layer.
