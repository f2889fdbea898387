// Replaced as the toolkit grows.
