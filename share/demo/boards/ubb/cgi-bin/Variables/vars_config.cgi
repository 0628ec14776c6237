%vars_config = (
    BBName => "Demo Board",
    BBEmail => "admin@example.org",
    OnlineTimeout => 15,
);
1;
