admin
admin@example.org
Administrator
