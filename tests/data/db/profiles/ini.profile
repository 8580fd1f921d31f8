[profile]
name=Old
contrast=9
